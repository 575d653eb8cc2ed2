#include "window/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFocusEvent>
#include <QFontInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "engine/number_text.h"
#include "platform/desktop.h"
#include "window/check_box.h"
#include "window/gap_label.h"
#include "window/icons.h"

namespace snipforge {
namespace {

// Captions smaller than this are not tried when fitting the font to the controls.
constexpr int kSmallestFontPixels = 7;

// A rectangle given in twips from the top left corner of the window's client area.
constexpr QRect Twips(int left, int top, int width, int height) {
  return {left / 15, top / 15, width / 15, height / 15};
}

// Names a control and puts it at its place in the client area, whichever group box holds it.
template <class Control>
Control* Place(Control* control, std::string_view name, const QRect& client) {
  control->setObjectName(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
  const QWidget* parent = control->parentWidget();
  control->setGeometry(client.translated(parent->isWindow() ? QPoint() : -parent->pos()));
  return control;
}

QLabel* Label(QWidget* parent, const char* name, const char* text, const QRect& client,
              bool wrap = false) {
  auto* label = Place(new QLabel(QString::fromLatin1(text), parent), name, client);
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

QString DeriveOutputPath(const QString& input) {
  const qsizetype point = input.lastIndexOf(u'.');
  if (point < 0) return input + QStringLiteral(".avs");
  return input.left(point + 1) + QStringLiteral("avs");
}

Form1::Form1(Desktop& desktop, std::optional<SettingsFiles> store, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      desktop_(desktop),
      store_(std::move(store)) {
  setWindowTitle(QStringLiteral("Snipforge ver 0.06"));
  setWindowIcon(QIcon(QPixmap::fromImage(ScissorsImage())));
  setFixedSize(315, 616);
  BuildControls();
  FitFont();
  // The gap boxes stand where the blank runs of their labels fell with the chosen font.
  for (const auto& [label, box] : gapBoxes_) {
    box->setGeometry(label->BoxRect().translated(label->pos()));
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
          [this](const QString& text) { tOutput_->setText(DeriveOutputPath(text)); });
  connect(cOpen_, &QPushButton::clicked, this, &Form1::OpenInput);
  connect(cSave_, &QPushButton::clicked, this, &Form1::ChooseOutput);
  connect(cAbout_, &QPushButton::clicked, this, &Form1::ShowAbout);
  connect(cStartConv_, &QPushButton::clicked, this, &Form1::StartConversion);

  if (store_) {
    for (const StoredText& stored : LoadSettings(*store_)) Apply(*stored.option, stored.text);
  }
}

void Form1::BuildControls() {
  auto* bad = Place(new QGroupBox(QStringLiteral("Bad frames"), this), "Frame2",
                    Twips(120, 1800, 4575, 3495));
  auto* good = Place(new QGroupBox(QStringLiteral("Good frames"), this), "Frame1",
                     Twips(120, 6480, 4575, 2655));

  Label(this, "Label3", "Input", Twips(120, 0, 2775, 255));
  tInput_ = TextBox(this, OptionFor(&ControlValues::tInput), Twips(120, 360, 2775, 375));
  tInput_->setToolTip(QStringLiteral("Enter the filename or press find to select it."));
  cOpen_ = PictureButton(this, "cOpen", OpenFolderImage(), "Find the input file",
                         "Find input file", Twips(3000, 360, 375, 375));
  cAbout_ = Button(this, "cAbout", "About", Twips(3480, 120, 855, 615));
  Label(this, "Label4", "Output", Twips(120, 840, 2775, 255));
  tOutput_ = TextBox(this, OptionFor(&ControlValues::tOutput), Twips(120, 1200, 2775, 375));
  cSave_ = PictureButton(this, "cSave", FloppyImage(), "Choose the output file",
                         "Choose output file", Twips(3000, 1200, 375, 375));

  CheckBoxFor(bad, OptionFor(&ControlValues::chOutputBadFrames), "Output Badframes",
              Twips(240, 2040, 1095, 615));
  Label(bad, "Label6", "Append before trim. Leave blank for none", Twips(240, 2640, 4335, 255));
  TextBox(bad, OptionFor(&ControlValues::tAppendBeforeBad), Twips(240, 2880, 4335, 375));
  Label(bad, "Label12", "Append to trim for bad frames", Twips(240, 3240, 3615, 255));
  TextBox(bad, OptionFor(&ControlValues::tAppendtoBad), Twips(240, 3480, 4335, 375));
  // As wide as its neighbour above: at 2055 twips the end of its own caption was cut off.
  Label(bad, "Label11", "Append to trim for good frames", Twips(240, 3840, 3615, 255));
  TextBox(bad, OptionFor(&ControlValues::tAppendToGood), Twips(240, 4080, 4335, 375));
  // Four lines high rather than three: the space below it up to the frame is free.
  Label(bad, "Label2", "Number of black frames to include between bad parts",
        Twips(240, 4560, 1215, 675), true);
  TextBox(bad, OptionFor(&ControlValues::tNumberOfBlack), Twips(1560, 4680, 495, 375));
  Label(bad, "Label5", "Number of good frames to include before and after bad frames",
        Twips(2160, 4560, 1695, 615), true);
  TextBox(bad, OptionFor(&ControlValues::tNumberofGood), Twips(3960, 4680, 615, 375));

  CheckBoxFor(this, OptionFor(&ControlValues::chIncludeFramenumber), "Include ShowFramenumber",
              Twips(240, 5280, 1815, 375));
  CheckBoxFor(this, OptionFor(&ControlValues::chIncText), "Include text from input in output",
              Twips(2400, 5280, 2055, 375));
  cStartConv_ = Button(this, "cStartConv", "Start", Twips(120, 5760, 1935, 615));
  Label(this, "Label1", "Minimum length of good parts in frames", Twips(2400, 5760, 1575, 495),
        true);
  TextBox(this, OptionFor(&ControlValues::tMinLength), Twips(3960, 5760, 615, 375));

  CheckBoxFor(good, OptionFor(&ControlValues::chOutputGoodFrames), "Output Goodframes",
              Twips(240, 6840, 1215, 495));
  Label(good, "Label8", "Append before trim. Leave blank for none", Twips(240, 7320, 4335, 255));
  TextBox(good, OptionFor(&ControlValues::tAppendBeforeGood), Twips(240, 7560, 4335, 375));
  // The two "Cut" sentences end where Label7 begins, so that they never run into its text.
  gapBoxes_.emplace_back(
      Place(new GapLabel(QStringLiteral("Cut             frames before bad frames"),
                         QSize(25, 25), good),
            "Label9", Twips(240, 8160, 2880, 255)),
      TextBox(good, OptionFor(&ControlValues::tOffsetBefore), Twips(600, 8040, 375, 375)));
  gapBoxes_.emplace_back(
      Place(new GapLabel(QStringLiteral("Cut             frames after bad frames"),
                         QSize(25, 25), good),
            "Label10", Twips(240, 8640, 2880, 255)),
      TextBox(good, OptionFor(&ControlValues::tOffsetAfter), Twips(600, 8520, 375, 375)));
  gapBoxes_.emplace_back(
      Place(new GapLabel(QStringLiteral("Ignore offset if there are") + QString(43, u' ') +
                             QStringLiteral("or less bad frames in a row"),
                         QSize(33, 21), good),
            "Label7", Twips(3120, 8040, 1335, 975)),
      TextBox(good, OptionFor(&ControlValues::tExcludeOffset), Twips(3840, 8280, 495, 315)));
}

QLineEdit* Form1::TextBox(QWidget* parent, const Option& option, const QRect& client) {
  auto* box = Place(new QLineEdit(FromBytes(option, ControlValues{}.*option.text), parent),
                    option.name, client);
  if (option.kind == OptionKind::kNumericText) box->installEventFilter(this);
  controls_[OptionIndex(option)] = box;
  return box;
}

CheckBox* Form1::CheckBoxFor(QWidget* parent, const Option& option, const char* caption,
                             const QRect& client) {
  auto* box = Place(new CheckBox(QString::fromLatin1(caption), parent), option.name, client);
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
  const QStringList filters = {QStringLiteral("Text (*.txt)"), QStringLiteral("all (*.*)")};
  if (const auto path = desktop_.ChooseFileToOpen(this, filters)) {
    tInput_->setText(*path);
    // Picking the file already named still brings the output path back in step.
    tOutput_->setText(DeriveOutputPath(*path));
  }
}

void Form1::ChooseOutput() {
  if (!NumbersSettled()) return;
  const QStringList filters = {QStringLiteral("Avisynth (*.avs)"), QStringLiteral("all (*.*)")};
  if (const auto path = desktop_.ChooseFileToSave(this, filters)) tOutput_->setText(*path);
}

void Form1::ShowAbout() {
  if (!NumbersSettled()) return;
  desktop_.ShowAbout(this,
                     QStringLiteral("Snipforge ver 0.06\n\nMade by the Snipforge developers."));
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
