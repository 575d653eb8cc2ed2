#include "window/qt/form1.h"

#include <QApplication>
#include <QComboBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFocusEvent>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "window/qt/check_box.h"
#include "window/qt/gap_label.h"
#include "window/qt/icons.h"
#include "window/qt/qt_desktop.h"

namespace snipforge {
namespace {

constexpr int kPollMilliseconds = 50;

// An option's text as the window holds it: a path in the file system's encoding, other text in
// UTF-8.
QString FromBytes(const Option& option, const std::string& text) {
  return option.path ? FromPath(text) : FromUtf8(text);
}

std::string ToBytes(const Option& option, const QString& text) {
  return option.path ? ToPath(text) : text.toUtf8().toStdString();
}

// The local path of a drag that carries one local file, as bytes; nothing for anything else
// (text, several files, a link to a web page, a file on another host). The URL's path in its
// encoded form (as toEncoded writes it, a byte that is not UTF-8 kept as %FF) is decoded byte
// for byte: toLocalFile would decode such a name into the name of a look-alike file.
std::optional<std::string> DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return std::nullopt;
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
  const QUrl& url = urls.front();
  if (!url.host().isEmpty() && url.host() != QStringLiteral("localhost")) return std::nullopt;
  const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
  std::string path = QByteArray::fromPercentEncoding(encoded).toStdString();
  if (path.empty()) return std::nullopt;
  return path;
}

// The fonts the controls are drawn with, as the style sheet or the desktop set them.
class QtTextMeasure final : public TextMeasure {
 public:
  explicit QtTextMeasure(const std::array<QWidget*, kControls.size()>& controls) {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
      QWidget* control = controls[i];
      control->ensurePolished();
      const auto kind = static_cast<std::size_t>(kControls[i].kind);
      if (widgets_[kind] == nullptr) widgets_[kind] = control;
      const QFontMetricsF metrics(control->font());
      em = std::max(em, static_cast<double>(QFontInfo(control->font()).pixelSize()));
      ascent = std::max(ascent, metrics.ascent());
      height = std::max(height, metrics.height());
      lineSpacing = std::max(lineSpacing, metrics.lineSpacing());
    }
    const QWidget* check = Widget(ControlKind::kCheckBox);
    checkIndicator = check->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check) +
                     check->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, check);
    const QWidget* button = Widget(ControlKind::kButton);
    buttonMargin = 2 * (button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                        button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
    const QWidget* box = Widget(ControlKind::kTextBox);
    frameMargin = 2 * box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box) + 2;
    const QWidget* choice = Widget(ControlKind::kChoiceBox);
    choiceArrow = choice->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, choice);
  }

  double Width(ControlKind kind, std::string_view text) const override {
    QFont font = Widget(kind)->font();
    if (kind == ControlKind::kGroupBox) font.setBold(true);  // some styles draw titles bold
    return QFontMetricsF(font).horizontalAdvance(FromUtf8(text));
  }

 private:
  const QWidget* Widget(ControlKind kind) const { return widgets_[static_cast<std::size_t>(kind)]; }

  std::array<const QWidget*, kControlKinds> widgets_{};
};

}  // namespace

Form1::Form1(Desktop& desktop, std::optional<StoreLocations> stores,
             const std::optional<QString>& input, QWidget* parent)
    : QWidget(parent, Qt::Window), desktop_(desktop), logic_(desktop, std::move(stores)) {
  setWindowTitle(FromUtf8(kWindowTitle));
  setWindowIcon(ProgramIcon());
  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setFocusPolicy(Qt::NoFocus);
  scroll_->setWidgetResizable(true);
  content_ = new QWidget;
  content_->setObjectName(QStringLiteral("content"));
  scroll_->setWidget(content_);
  auto* frame = new QVBoxLayout(this);
  frame->setContentsMargins(0, 0, 0, 0);
  frame->addWidget(scroll_);
  BuildControls();

  if (input) logic_.TakeInput(ToBytes(OptionFor(&ControlValues::tInput), *input));
  ShowValues();
  LayOut();
  content_->installEventFilter(this);
  Control("tInput")->setFocus();
  connect(&poll_, &QTimer::timeout, this, &Form1::PollRun);

  // Files are dropped onto the window as a whole: the boxes would insert the file's URL as text.
  setAcceptDrops(true);
}

Form1::~Form1() = default;

QWidget* Form1::Control(std::string_view name) const { return controls_[FindControl(name)]; }

void Form1::BuildControls() {
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlRow& row = kControls[i];
    QWidget* parent = row.group.empty() ? content_ : controls_[FindControl(row.group)];
    const QString caption = FromUtf8(CaptionOf(row));
    QWidget* control = nullptr;
    switch (row.kind) {
      case ControlKind::kGroupBox:
        control = new QGroupBox(caption, parent);
        break;
      case ControlKind::kLabel:
      case ControlKind::kWrappedLabel:
      case ControlKind::kStatusLine: {
        auto* label = new QLabel(row.kind == ControlKind::kStatusLine ? QString() : caption, parent);
        label->setTextFormat(Qt::PlainText);  // never markup, whoever wrote the text
        label->setWordWrap(row.kind != ControlKind::kLabel);
        if (row.kind == ControlKind::kStatusLine) {
          label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
        control = label;
        break;
      }
      case ControlKind::kGapLabel:
        control = new GapLabel(caption, parent);
        break;
      case ControlKind::kTextBox: {
        const Option& option = *row.option;
        auto* box = new QLineEdit(parent);
        box->setAcceptDrops(false);
        if (option.kind == OptionKind::kNumericText) box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, [this, &option](const QString& text) {
          logic_.SetText(option, ToBytes(option, text));
          ShowValues();
        });
        control = box;
        break;
      }
      case ControlKind::kChoiceBox: {
        const Option& option = *row.option;
        auto* box = new QComboBox(parent);
        for (const Choice& choice : option.choices) box->addItem(FromUtf8(choice.caption));
        connect(box, &QComboBox::currentIndexChanged, this, [this, &option](int index) {
          logic_.SetChoice(option, index);
          ShowValues();
        });
        control = box;
        break;
      }
      case ControlKind::kCheckBox: {
        const Option& option = *row.option;
        auto* box = new CheckBox(caption, parent);
        connect(box, &CheckBox::ToggleRequested, this, [this, &option] {
          logic_.ToggleCheck(option);
          ShowValues();
        });
        control = box;
        break;
      }
      case ControlKind::kButton:
      case ControlKind::kPictureButton: {
        auto* button = new QPushButton(row.kind == ControlKind::kButton ? caption : QString(),
                                       parent);
        button->setAutoDefault(true);  // Enter presses the button that has the focus
        if (row.kind == ControlKind::kPictureButton) {
          button->setIcon(row.name == "cOpen" ? OpenIcon() : SaveIcon());
          button->setIconSize(QSize(16, 16));
        }
        control = button;
        break;
      }
    }
    control->setObjectName(FromUtf8(row.name));
    control->setAccessibleName(FromUtf8(AccessibleName(row)));
    control->setToolTip(FromUtf8(ToolTip(row)));
    controls_[i] = control;
  }
  // Each label is the buddy of its box, so that screen readers name the box.
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlRow& row = kControls[i];
    if (auto* label = qobject_cast<QLabel*>(controls_[i]); label != nullptr && row.option) {
      label->setBuddy(controls_[ControlOf(*row.option)]);
    }
  }
  for (std::size_t i = 1; i < kFocusOrder.size(); ++i) {
    setTabOrder(controls_[kFocusOrder[i - 1]], controls_[kFocusOrder[i]]);
  }
  const auto press = [this](std::string_view name, void (FormLogic::*handler)()) {
    connect(static_cast<QPushButton*>(Control(name)), &QPushButton::clicked, this,
            [this, handler] { Press(handler); });
  };
  press("cOpen", &FormLogic::OpenPressed);
  press("cSave", &FormLogic::SavePressed);
  press("cAbout", &FormLogic::AboutPressed);
  press("cOpenFolder", &FormLogic::OpenFolderPressed);
  connect(static_cast<QPushButton*>(Control("cStartConv")), &QPushButton::clicked, this,
          &Form1::StartConversion);
}

void Form1::LayOut() {
  if (layingOut_) return;
  layingOut_ = true;
  const QtTextMeasure metrics(controls_);
  layout_ = Layout(metrics, content_->logicalDpiY());
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (auto* gap = qobject_cast<GapLabel*>(controls_[i])) gap->SetWords(layout_.words[i]);
  }
  content_->setMinimumSize(layout_.width, layout_.height);
  Place(std::max(content_->width(), layout_.width));
  // The window opens at its laid-out size, or at the screen's when that is smaller, and
  // scrolls then.
  resize(layout_.width, layout_.height);
  FitScreen();
  layingOut_ = false;
}

void Form1::FitScreen() {
  const QScreen* screen = this->screen();
  if (screen == nullptr) return;
  const QRect room = screen->availableGeometry();
  const QSize frame = frameGeometry().size() - geometry().size();
  QSize wanted = size();
  // A window cut short by the screen scrolls: room for its vertical bar, so that it needs no
  // horizontal one.
  if (layout_.height > room.height() - frame.height()) {
    wanted.setWidth(layout_.width + scroll_->verticalScrollBar()->sizeHint().width());
  }
  const QSize fitting = wanted.boundedTo(room.size() - frame);
  if (fitting != size()) resize(fitting);
  QPoint at = frameGeometry().topLeft();
  at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - frameGeometry().width())));
  at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - frameGeometry().height())));
  if (at != frameGeometry().topLeft()) move(at);
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The window manager's frame is known only once the window is shown.
  QTimer::singleShot(0, this, &Form1::FitScreen);
}

void Form1::Place(int contentWidth) {
  const FormLayout placed = Widened(layout_, contentWidth);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const PixelRect& rect = placed.rects[i];
    QRect geometry(rect.left, rect.top, rect.width, rect.height);
    if (!kControls[i].group.empty()) {
      const PixelRect& group = placed.rects[FindControl(kControls[i].group)];
      geometry.translate(-group.left, -group.top);
    }
    controls_[i]->setGeometry(geometry);
  }
  // The boxes over their sentences stand above them, so that a click there reaches the box.
  for (const ControlRow& row : kControls) {
    if (!row.box.empty()) Control(row.box)->raise();
  }
}

void Form1::ShowValues() {
  const ControlValues& values = logic_.values();
  for (const Option& option : kOptions) {
    QWidget* control = controls_[ControlOf(option)];
    // A greyed-out control says why in its tooltip.
    const std::string_view disabled = logic_.DisabledBecause(option);
    control->setEnabled(disabled.empty());
    control->setToolTip(FromUtf8(disabled.empty() ? std::string(option.tip)
                                                   : std::string(option.tip) + ' ' +
                                                         std::string(disabled)));
    if (option.check != nullptr) {
      auto* box = static_cast<CheckBox*>(control);
      if (box->Value() != values.*option.check) box->SetValue(values.*option.check);
    } else if (option.choice != nullptr) {
      auto* box = static_cast<QComboBox*>(control);
      if (box->currentIndex() != values.*option.choice) box->setCurrentIndex(values.*option.choice);
    } else {
      auto* box = static_cast<QLineEdit*>(control);
      const QString text = FromBytes(option, values.*option.text);
      if (box->text() != text) box->setText(text);
    }
  }
  ShowStatus();
}

void Form1::ShowStatus() {
  static_cast<QLabel*>(Control("lStatus"))->setText(FromUtf8(logic_.status()));
  Control("cOpenFolder")->setEnabled(logic_.CanOpenFolder());
}

void Form1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // A new font, from the desktop or a style sheet, lays the window out anew.
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    if (content_ != nullptr) LayOut();
  }
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedFile(event->mimeData())) event->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
  if (DroppedFile(event->mimeData())) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
  std::optional<std::string> path = DroppedFile(event->mimeData());
  if (!path) return;
  event->acceptProposedAction();
  QWidget* output = Control("tOutput");
  const QPoint at = output->mapFrom(this, event->position().toPoint());
  if (output->rect().contains(at)) {
    logic_.TakeOutput(std::move(*path));
  } else {
    logic_.TakeInput(std::move(*path));
  }
  ShowValues();
}

void Form1::closeEvent(QCloseEvent* event) {
  // A conversion still running stops, leaving the old script, and the values are saved.
  poll_.stop();
  if (progress_) progress_->deleteLater();
  logic_.CloseWindow();
  event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == content_ && event->type() == QEvent::Resize) {
    Place(std::max(content_->width(), layout_.width));
  } else if (event->type() == QEvent::FocusOut && !returningFocus_) {
    // Another window taking the focus, the message box among them, does not leave the box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      // Checked once the focus has arrived where it was going, not in the middle of the move.
      const auto row = static_cast<std::size_t>(
          std::find(controls_.begin(), controls_.end(), watched) - controls_.begin());
      if (row < kControls.size()) {
        QMetaObject::invokeMethod(this, [this, row] { CheckNumber(row); }, Qt::QueuedConnection);
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::CheckNumber(std::size_t row) {
  auto* box = static_cast<QLineEdit*>(controls_[row]);
  if (!isVisible() || logic_.CheckNumber(*kControls[row].option)) return;
  checkFailed_ = true;
  // The box that had the focus meanwhile loses it now; that must not start its own check. The
  // text is selected, so that typing replaces it.
  returningFocus_ = true;
  box->setFocus(Qt::OtherFocusReason);
  box->selectAll();
  returningFocus_ = false;
}

bool Form1::NumbersSettled() {
  // A box left by clicking a button is checked before the button does anything, and a check
  // that fails cancels the click, as if the check had come between pressing and releasing.
  checkFailed_ = false;
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
  return !checkFailed_;
}

void Form1::Press(void (FormLogic::*handler)()) {
  if (!NumbersSettled()) return;
  (logic_.*handler)();
  ShowValues();
}

void Form1::StartConversion() {
  if (!NumbersSettled() || logic_.running()) return;
  logic_.StartPressed();
  // Nothing typed while the run goes reaches the controls, to be applied afterwards.
  content_->setEnabled(false);
  poll_.start(kPollMilliseconds);
}

void Form1::PollRun() {
  if (!poll_.isActive()) return;
  poll_.stop();  // a question asked while the run ends runs its own event loop
  const RunProgress progress = logic_.Poll();
  if (!progress.running) {
    if (progress_) progress_->deleteLater();
    content_->setEnabled(true);
    ShowValues();
    Control("cStartConv")->setFocus();
    return;
  }
  if (progress.showDialog && !progress_) {
    progress_ = new QProgressDialog(this);
    progress_->setWindowTitle(QStringLiteral("Snipforge"));
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(0);
    progress_->setRange(0, 100);
    // Not modal: the form takes no input while it runs anyway, and a modal box would make Qt
    // drop the window's close request, which must stop the run.
    progress_->setWindowModality(Qt::NonModal);
    if (auto* label = progress_->findChild<QLabel*>()) label->setTextFormat(Qt::PlainText);
    connect(progress_, &QProgressDialog::canceled, this, [this] { logic_.Cancel(); });
    progress_->show();
  }
  if (progress_) {
    progress_->setLabelText(FromUtf8(progress.stage));
    progress_->setValue(progress.percent);
    if (progress.tooLateToCancel) progress_->setCancelButton(nullptr);
  }
  poll_.start(kPollMilliseconds);
}

}  // namespace snipforge
