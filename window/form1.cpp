#include "window/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFocusEvent>
#include <QFontInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "engine/number_text.h"
#include "engine/output_path.h"
#include "platform/desktop.h"
#include "window/check_box.h"
#include "window/gap_label.h"
#include "window/icons.h"

namespace snipforge {
namespace {

// Captions smaller than this are not tried when fitting the font to the controls.
constexpr int kSmallestFontPixels = 7;

// The file dialogs' last filter: every file, also names without a point, under the name the
// filter has always had.
const FileFilter kAllFiles = {QStringLiteral("all (*.*)"), QStringLiteral("*")};

// A rectangle given in twips from the top left corner of the window's client area.
constexpr QRect Twips(int left, int top, int width, int height) {
  return {left / 15, top / 15, width / 15, height / 15};
}

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Names a control and puts it at its place in the client area, whichever group box holds it.
template <class Control>
Control* Place(Control* control, std::string_view name, const QRect& client) {
  control->setObjectName(Latin1(name));
  const QWidget* parent = control->parentWidget();
  control->setGeometry(client.translated(parent->isWindow() ? QPoint() : -parent->pos()));
  return control;
}

QLabel* Label(QWidget* parent, const char* name, std::string_view text, const QRect& client,
              bool wrap = false) {
  auto* label = Place(new QLabel(Latin1(text), parent), name, client);
  label->setWordWrap(wrap);
  return label;
}

QPushButton* Button(QWidget* parent, const char* name, const char* text, const QRect& client) {
  auto* button = Place(new QPushButton(QString::fromLatin1(text), parent), name, client);
  button->setAutoDefault(true);  // Enter presses the button that has the focus
  return button;
}

QPushButton* PictureButton(QWidget* parent, const char* name, const QImage& picture,
                           const char* tip, const char* accessibleName, const QRect& client) {
  auto* button = Button(parent, name, "", client);
  button->setIcon(QIcon(QPixmap::fromImage(picture)));
  button->setIconSize(picture.size());
  button->setToolTip(QString::fromLatin1(tip));
  button->setAccessibleName(QString::fromLatin1(accessibleName));
  return button;
}

std::string Bytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

// An option's text as the window holds it: a path in the file system's encoding, other text in
// the local 8-bit one (both UTF-8 on Linux).
QString FromBytes(const Option& option, const std::string& text) {
  return option.path ? QFile::decodeName(QByteArray::fromStdString(text))
                     : QString::fromLocal8Bit(text);
}

std::string ToBytes(const Option& option, const QString& text) {
  return option.path ? QFile::encodeName(text).toStdString() : Bytes(text);
}

QString OutputFor(const QString& input) {
  return FromBytes(OptionFor(&ControlValues::tOutput),
                   DeriveOutputPath(ToBytes(OptionFor(&ControlValues::tInput), input)));
}

// The local path of a drag that carries one local file; nothing for anything else (text,
// several files, a link to a web page).
std::optional<QString> DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return std::nullopt;
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
  QString path = urls.front().toLocalFile();
  if (path.isEmpty()) return std::nullopt;
  return path;
}

// True when the text, drawn with the metrics' font, stays within the room.
bool Holds(const QRect& room, const QFontMetrics& metrics, const QString& text, bool wrap) {
  const int flags = Qt::AlignLeft | Qt::AlignVCenter | (wrap ? Qt::TextWordWrap : 0);
  return room.contains(metrics.boundingRect(room, flags, text));
}

bool CaptionsFit(const QWidget& window) {
  for (const QLabel* label : window.findChildren<QLabel*>()) {
    const auto* gap = qobject_cast<const GapLabel*>(label);
    if (gap != nullptr ? !gap->TextFits()
                       : !Holds(label->contentsRect(), label->fontMetrics(), label->text(),
                                label->wordWrap())) {
      return false;
    }
  }
  for (const CheckBox* box : window.findChildren<CheckBox*>()) {
    if (!Holds(box->TextRect(), box->fontMetrics(), box->text(), true)) return false;
  }
  return true;
}

// Shows the wait cursor for as long as it lives.
class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

Form1::Form1(Desktop& desktop, std::optional<SettingsFiles> store,
             const std::optional<QString>& input, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      desktop_(desktop),
      store_(std::move(store)) {
  setWindowTitle(QStringLiteral("Snipforge ver " SNIPFORGE_VERSION));
  setWindowIcon(QIcon(QPixmap::fromImage(ScissorsImage())));
  setFixedSize(315, 616);
  BuildControls();
  FitFont();
  // The gap boxes stand where the blank runs of their labels fell with the chosen font, above
  // the labels, so that a click there reaches the box.
  for (const auto& [label, box] : gapBoxes_) {
    box->setGeometry(label->BoxRect().translated(label->pos()));
    box->raise();
  }

  // The order in which Tab visits the controls.
  QWidget* const focusOrder[] = {
      tInput_, cOpen_, cStartConv_, Control(OptionFor(&ControlValues::tOffsetBefore)),
      Control(OptionFor(&ControlValues::tOffsetAfter)), cAbout_, tOutput_, cSave_,
      Control(OptionFor(&ControlValues::chOutputBadFrames)),
      Control(OptionFor(&ControlValues::tAppendtoBad)),
      Control(OptionFor(&ControlValues::tAppendToGood)),
      Control(OptionFor(&ControlValues::tNumberofGood)),
      Control(OptionFor(&ControlValues::tNumberOfBlack)),
      Control(OptionFor(&ControlValues::chIncludeFramenumber)),
      Control(OptionFor(&ControlValues::chIncText)),
      Control(OptionFor(&ControlValues::tAppendBeforeBad)),
      Control(OptionFor(&ControlValues::tMinLength)),
      Control(OptionFor(&ControlValues::chOutputGoodFrames)),
      Control(OptionFor(&ControlValues::tAppendBeforeGood)),
      Control(OptionFor(&ControlValues::tExcludeOffset))};
  for (std::size_t i = 1; i < std::size(focusOrder); ++i) {
    setTabOrder(focusOrder[i - 1], focusOrder[i]);
  }
  tInput_->setFocus();

  connect(tInput_, &QLineEdit::textChanged, this,
          [this](const QString& text) { tOutput_->setText(OutputFor(text)); });
  connect(cOpen_, &QPushButton::clicked, this, &Form1::OpenInput);
  connect(cSave_, &QPushButton::clicked, this, &Form1::ChooseOutput);
  connect(cAbout_, &QPushButton::clicked, this, &Form1::ShowAbout);
  connect(cStartConv_, &QPushButton::clicked, this, &Form1::StartConversion);

  if (store_) {
    // Like a registry key, the store exists from the first start on.
    CreateSettingsStore(*store_);
    for (const StoredText& stored : LoadSettings(*store_)) Apply(*stored.option, stored.text);
  }
  if (input) TakeInput(*input);

  // Files are dropped onto the window as a whole: the boxes would insert the file's URL as text.
  setAcceptDrops(true);
  for (QLineEdit* box : findChildren<QLineEdit*>()) box->setAcceptDrops(false);
}

void Form1::BuildControls() {
  badFrames_ = Place(new QGroupBox(Latin1(kBadFramesGroup), this), "Frame2",
                     Twips(120, 1800, 4575, 3495));
  goodFrames_ = Place(new QGroupBox(Latin1(kGoodFramesGroup), this), "Frame1",
                      Twips(120, 6480, 4575, 2655));
  // The label that names an option's box, in the box's group.
  const auto caption = [this](const char* name, const Option& option, const QRect& client,
                              bool wrap = false) {
    return Label(GroupOf(option), name, option.caption, client, wrap);
  };
  // A sentence with the option's box laid over its blank run.
  const auto gapSentence = [this](const char* name, const Option& option, QSize box,
                                  const QRect& client) {
    return Place(new GapLabel(Latin1(option.caption), box, GroupOf(option)), name, client);
  };

  const Option& input = OptionFor(&ControlValues::tInput);
  caption("Label3", input, Twips(120, 0, 2775, 255));
  tInput_ = TextBox(input, Twips(120, 360, 2775, 375));
  tInput_->setToolTip(QStringLiteral("Enter the filename or press find to select it."));
  cOpen_ = PictureButton(this, "cOpen", OpenFolderImage(), "Find the input file",
                         "Find input file", Twips(3000, 360, 375, 375));
  cAbout_ = Button(this, "cAbout", "About", Twips(3480, 120, 855, 615));
  const Option& output = OptionFor(&ControlValues::tOutput);
  caption("Label4", output, Twips(120, 840, 2775, 255));
  tOutput_ = TextBox(output, Twips(120, 1200, 2775, 375));
  cSave_ = PictureButton(this, "cSave", FloppyImage(), "Choose the output file",
                         "Choose output file", Twips(3000, 1200, 375, 375));

  CheckBoxFor(OptionFor(&ControlValues::chOutputBadFrames), Twips(240, 2040, 1095, 615));
  const Option& beforeBad = OptionFor(&ControlValues::tAppendBeforeBad);
  caption("Label6", beforeBad, Twips(240, 2640, 4335, 255));
  TextBox(beforeBad, Twips(240, 2880, 4335, 375));
  const Option& toBad = OptionFor(&ControlValues::tAppendtoBad);
  caption("Label12", toBad, Twips(240, 3240, 3615, 255));
  TextBox(toBad, Twips(240, 3480, 4335, 375));
  // As wide as its neighbour above: at 2055 twips the end of its own caption was cut off.
  const Option& toGood = OptionFor(&ControlValues::tAppendToGood);
  caption("Label11", toGood, Twips(240, 3840, 3615, 255));
  TextBox(toGood, Twips(240, 4080, 4335, 375));
  // Four lines high rather than three: the space below it up to the frame is free.
  const Option& black = OptionFor(&ControlValues::tNumberOfBlack);
  caption("Label2", black, Twips(240, 4560, 1215, 675), true);
  TextBox(black, Twips(1560, 4680, 495, 375));
  const Option& context = OptionFor(&ControlValues::tNumberofGood);
  caption("Label5", context, Twips(2160, 4560, 1695, 615), true);
  TextBox(context, Twips(3960, 4680, 615, 375));

  CheckBoxFor(OptionFor(&ControlValues::chIncludeFramenumber), Twips(240, 5280, 1815, 375));
  CheckBoxFor(OptionFor(&ControlValues::chIncText), Twips(2400, 5280, 2055, 375));
  cStartConv_ = Button(this, "cStartConv", "Start", Twips(120, 5760, 1935, 615));
  const Option& minLength = OptionFor(&ControlValues::tMinLength);
  caption("Label1", minLength, Twips(2400, 5760, 1575, 495), true);
  TextBox(minLength, Twips(3960, 5760, 615, 375));

  CheckBoxFor(OptionFor(&ControlValues::chOutputGoodFrames), Twips(240, 6840, 1215, 495));
  const Option& beforeGood = OptionFor(&ControlValues::tAppendBeforeGood);
  caption("Label8", beforeGood, Twips(240, 7320, 4335, 255));
  TextBox(beforeGood, Twips(240, 7560, 4335, 375));
  // The two "Cut" sentences end where Label7 begins, so that they never run into its text.
  const Option& offsetBefore = OptionFor(&ControlValues::tOffsetBefore);
  gapBoxes_.emplace_back(
      gapSentence("Label9", offsetBefore, QSize(25, 25), Twips(240, 8160, 2880, 255)),
      TextBox(offsetBefore, Twips(600, 8040, 375, 375)));
  const Option& offsetAfter = OptionFor(&ControlValues::tOffsetAfter);
  gapBoxes_.emplace_back(
      gapSentence("Label10", offsetAfter, QSize(25, 25), Twips(240, 8640, 2880, 255)),
      TextBox(offsetAfter, Twips(600, 8520, 375, 375)));
  const Option& exclude = OptionFor(&ControlValues::tExcludeOffset);
  gapBoxes_.emplace_back(
      gapSentence("Label7", exclude, QSize(33, 21), Twips(3120, 8040, 1335, 975)),
      TextBox(exclude, Twips(3840, 8280, 495, 315)));
}

QWidget* Form1::GroupOf(const Option& option) {
  if (option.group == kBadFramesGroup) return badFrames_;
  if (option.group == kGoodFramesGroup) return goodFrames_;
  return this;
}

QLineEdit* Form1::TextBox(const Option& option, const QRect& client) {
  auto* box = Place(new QLineEdit(FromBytes(option, ControlValues{}.*option.text), GroupOf(option)),
                    option.name, client);
  if (option.kind == OptionKind::kNumericText) box->installEventFilter(this);
  controls_[OptionIndex(option)] = box;
  return box;
}

CheckBox* Form1::CheckBoxFor(const Option& option, const QRect& client) {
  auto* box = Place(new CheckBox(Latin1(option.caption), GroupOf(option)), option.name, client);
  box->SetValue(ControlValues{}.*option.check);
  controls_[OptionIndex(option)] = box;
  return box;
}

QWidget* Form1::Control(const Option& option) const { return controls_[OptionIndex(option)]; }

void Form1::Apply(const Option& option, const std::string& text) {
  if (option.check == nullptr) {
    static_cast<QLineEdit*>(Control(option))->setText(FromBytes(option, text));
  } else if (const std::optional<int> value = CheckBoxValue(text)) {
    static_cast<CheckBox*>(Control(option))->SetValue(*value);
  }
}

void Form1::FitFont() {
  // The controls' places were laid out for a small font: the desktop's font is used at its own
  // size when every caption fits, else at the largest size at which they all do.
  QFont font = QApplication::font(this);
  for (int pixels = QFontInfo(font).pixelSize();; --pixels) {
    font.setPixelSize(pixels);
    setFont(font);
    if (pixels <= kSmallestFontPixels || CaptionsFit(*this)) break;
  }
}

ControlValues Form1::Values() const {
  ControlValues values;
  for (const Option& option : kOptions) {
    if (option.check == nullptr) {
      values.*option.text = ToBytes(option, static_cast<const QLineEdit*>(Control(option))->text());
    } else {
      values.*option.check = static_cast<const CheckBox*>(Control(option))->Value();
    }
  }
  return values;
}

void Form1::TakeInput(const QString& path) {
  tInput_->setText(path);
  tOutput_->setText(OutputFor(path));
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedFile(event->mimeData())) event->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
  if (DroppedFile(event->mimeData())) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
  const std::optional<QString> path = DroppedFile(event->mimeData());
  if (!path) return;
  event->acceptProposedAction();
  if (tOutput_->geometry().contains(event->position().toPoint())) {
    tOutput_->setText(*path);
  } else {
    TakeInput(*path);
  }
}

void Form1::closeEvent(QCloseEvent* event) {
  if (store_) SaveSettings(*store_, Values());
  event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && !returningFocus_) {
    // Another window taking the focus, the message box among them, does not leave the box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      // Checked once the focus has arrived where it was going, not in the middle of the move.
      QPointer<QLineEdit> box = qobject_cast<QLineEdit*>(watched);
      QMetaObject::invokeMethod(this, [this, box] { CheckNumber(box); }, Qt::QueuedConnection);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::CheckNumber(QLineEdit* box) {
  if (box == nullptr || !isVisible() || IsNumberText(Bytes(box->text()))) return;
  checkFailed_ = true;
  desktop_.ShowMessage(this, QStringLiteral("ENTER a valid number"));
  // The box that had the focus meanwhile loses it now; that must not start its own check.
  returningFocus_ = true;
  box->setFocus(Qt::OtherFocusReason);
  returningFocus_ = false;
}

bool Form1::NumbersSettled() {
  // A box left by clicking a button is checked before the button does anything, and a check
  // that fails cancels the click, as if the check had come between pressing and releasing.
  checkFailed_ = false;
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
  return !checkFailed_;
}

void Form1::OpenInput() {
  if (!NumbersSettled()) return;
  const FileFilters filters = {{QStringLiteral("Text (*.txt)"), QStringLiteral("*.txt")},
                               kAllFiles};
  if (const auto path = desktop_.ChooseFileToOpen(this, filters)) TakeInput(*path);
}

void Form1::ChooseOutput() {
  if (!NumbersSettled()) return;
  const FileFilters filters = {{QStringLiteral("Avisynth (*.avs)"), QStringLiteral("*.avs")},
                               kAllFiles};
  if (const auto path = desktop_.ChooseFileToSave(this, filters)) tOutput_->setText(*path);
}

void Form1::ShowAbout() {
  if (!NumbersSettled()) return;
  desktop_.ShowAbout(this,
                     QStringLiteral("Snipforge ver " SNIPFORGE_VERSION
                                    "\n\nMade by the Snipforge developers."));
}

void Form1::StartConversion() {
  if (!NumbersSettled()) return;
  RunOutcome outcome;
  {
    const WaitCursor wait;
    outcome = RunConversion(Values());
  }
  if (!outcome.ok) desktop_.ShowMessage(this, QString::fromLocal8Bit(outcome.message));
}

}  // namespace snipforge
