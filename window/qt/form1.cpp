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
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "window/qt/check_box.h"
#include "window/qt/gap_label.h"
#include "window/qt/icons.h"
#include "window/qt/qt_desktop.h"

namespace snipforge {
namespace {

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

Form1::Form1(DesktopDialogs& dialogs, std::optional<StoreLocations> stores,
             const std::optional<QString>& input, QWidget* parent)
    : QWidget(parent, Qt::Window), logic_(dialogs, *this, std::move(stores)) {
  setWindowTitle(FromUtf8(kWindowTitle));
  setWindowIcon(ProgramIcon());
  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setFocusPolicy(Qt::NoFocus);
  scroll_->setWidgetResizable(true);
  content_ = new QWidget;
  content_->setObjectName(QStringLiteral("content"));
  scroll_->setWidget(content_);
  // The status bar stays in sight below the area that scrolls, with a line between them.
  statusLine_ = new QFrame(this);
  statusLine_->setFrameShape(QFrame::HLine);
  statusLine_->setFrameShadow(QFrame::Sunken);
  statusBar_ = new QWidget(this);
  statusBar_->setObjectName(QStringLiteral("statusBar"));
  auto* frame = new QVBoxLayout(this);
  frame->setContentsMargins(0, 0, 0, 0);
  frame->setSpacing(0);
  frame->addWidget(scroll_, 1);
  frame->addWidget(statusLine_);
  frame->addWidget(statusBar_);
  BuildControls();

  if (input) logic_.TakeInput(ToBytes(OptionFor(&ControlValues::tInput), *input));
  logic_.Opened();
  LayOut();
  content_->installEventFilter(this);
  statusBar_->installEventFilter(this);
  // A control the keyboard moved to (Tab, Alt and a letter, a failed check) is scrolled into
  // sight.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now != nullptr && content_->isAncestorOf(now)) scroll_->ensureWidgetVisible(now);
  });

  // Files are dropped onto the window as a whole: the boxes would insert the file's URL as text.
  setAcceptDrops(true);
}

Form1::~Form1() {
  // The controls go after the logic: no focus change of theirs reaches it.
  disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

QWidget* Form1::Control(std::string_view name) const { return controls_[FindControl(name)]; }

std::size_t Form1::RowOf(const QObject* control) const {
  return static_cast<std::size_t>(std::find(controls_.begin(), controls_.end(), control) -
                                  controls_.begin());
}

void Form1::BuildControls() {
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlRow& row = kControls[i];
    QWidget* parent = row.inStatusBar   ? statusBar_
                      : row.group.empty() ? content_
                                          : controls_[FindControl(row.group)];
    // The caption with "&" before its key's letter, which the toolkit underlines.
    const QString caption = FromUtf8(CaptionWithKey(row));
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
          label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
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
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, [this, &option](const QString& text) {
          logic_.SetText(option, ToBytes(option, text));
        });
        control = box;
        break;
      }
      case ControlKind::kChoiceBox: {
        const Option& option = *row.option;
        auto* box = new QComboBox(parent);
        for (const Choice& choice : option.choices) box->addItem(FromUtf8(choice.caption));
        connect(box, &QComboBox::currentIndexChanged, this,
                [this, &option](int index) { logic_.SetChoice(option, index); });
        control = box;
        break;
      }
      case ControlKind::kCheckBox: {
        const Option& option = *row.option;
        auto* box = new CheckBox(caption, parent);
        connect(box, &CheckBox::ToggleRequested, this,
                [this, &option] { logic_.ToggleCheck(option); });
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
        connect(button, &QPushButton::clicked, this, [this, i] { logic_.Pressed(i); });
        control = button;
        break;
      }
    }
    control->setObjectName(FromUtf8(NameOf(row)));
    control->setAccessibleName(FromUtf8(AccessibleName(row)));
    control->setToolTip(FromUtf8(ToolTip(row)));
    controls_[i] = control;
  }
  // Each label is the buddy of its box, so that screen readers name the box and its key moves
  // there.
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    auto* label = qobject_cast<QLabel*>(controls_[i]);
    if (label != nullptr && kControls[i].option != nullptr) label->setBuddy(controls_[KeyTarget(i)]);
  }
  for (std::size_t i = 1; i < kFocusOrder.size(); ++i) {
    setTabOrder(controls_[kFocusOrder[i - 1]], controls_[kFocusOrder[i]]);
  }
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
  statusBar_->setFixedHeight(layout_.statusBarHeight);
  statusBar_->setMinimumWidth(layout_.width);
  Place(std::max(content_->width(), layout_.width));
  PlaceStatusBar();
  // The window opens at its laid-out size, or at the screen's when that is smaller, and
  // scrolls then.
  FitScreen();
  layingOut_ = false;
}

void Form1::FitScreen() {
  const QScreen* screen = this->screen();
  if (screen == nullptr) return;
  const QRect room = screen->availableGeometry();
  const QSize frame = frameGeometry().size() - geometry().size();
  // The area that scrolls, the line below it and the status bar.
  QSize wanted(layout_.width,
               layout_.height + statusLine_->sizeHint().height() + layout_.statusBarHeight);
  // A window cut short by the screen scrolls: room for its vertical bar, so that it needs no
  // horizontal one.
  if (wanted.height() > room.height() - frame.height()) {
    wanted.setWidth(layout_.width + scroll_->verticalScrollBar()->sizeHint().width());
  }
  const QSize fitting = wanted.boundedTo(room.size() - frame);
  if (fitting != size()) resize(fitting);
  QPoint at = frameGeometry().topLeft();
  const QSize outer = frameGeometry().size();
  const QPoint last(room.x() + room.width() - outer.width(), room.y() + room.height() - outer.height());
  at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), last.x())));
  at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), last.y())));
  if (at != frameGeometry().topLeft()) move(at);
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The window manager's frame is known only once the window is shown, and only once it has
  // framed and placed it: until then each move fits the window again.
  QTimer::singleShot(0, this, &Form1::FitScreen);
}

void Form1::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (!framed_ && isVisible()) {
    framed_ = frameGeometry().size() != size();
    QTimer::singleShot(0, this, &Form1::FitScreen);
  }
}

void Form1::Place(int contentWidth) {
  const FormLayout placed = Widened(layout_, contentWidth);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (kControls[i].inStatusBar) continue;
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
    if (row.kind == ControlKind::kGapLabel) controls_[ControlOf(*row.option)]->raise();
  }
}

void Form1::PlaceStatusBar() {
  const FormLayout placed = Widened(layout_, std::max(statusBar_->width(), layout_.width));
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (!kControls[i].inStatusBar) continue;
    const PixelRect& rect = placed.rects[i];
    controls_[i]->setGeometry(rect.left, rect.top, rect.width, rect.height);
  }
  ShowStatus();  // what fits the bar's width
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
  // Two lines: the run's warning, each line cut short to the bar's width, then what was
  // written; a message alone wraps over both. The tooltip holds all of it.
  auto* label = static_cast<QLabel*>(Control("lStatus"));
  const QString status = FromUtf8(logic_.status());
  const QStringList lines = status.split(u'\n');
  if (lines.size() > 1) {
    QStringList shown;
    for (const QString& line : lines) {
      shown.push_back(label->fontMetrics().elidedText(line, Qt::ElideRight, label->width()));
    }
    label->setWordWrap(false);
    label->setText(shown.join(u'\n'));
  } else {
    label->setWordWrap(true);
    label->setText(status);
  }
  // As rich text, escaped, so that no name in it is read as markup.
  QString tip;
  if (!status.isEmpty()) {
    tip = QStringLiteral("<p>") + status.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>")) +
          QStringLiteral("</p>");
  }
  label->setToolTip(tip);
  Control("cOpenFolder")->setEnabled(logic_.CanOpenFolder() && !logic_.busy());
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
  QWidget* output = controls_[ControlOf(OptionFor(&ControlValues::tOutput))];
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
  CloseProgress();
  logic_.CloseWindow();
  event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == content_ && event->type() == QEvent::Resize) {
    Place(std::max(content_->width(), layout_.width));
  } else if (watched == statusBar_ && event->type() == QEvent::Resize) {
    PlaceStatusBar();
  } else if (event->type() == QEvent::FocusOut) {
    // Another window taking the focus, the message box among them, does not leave the box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      logic_.FocusLeft(RowOf(watched));
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::Focus(std::size_t control) {
  controls_[control]->setFocus(Qt::OtherFocusReason);
  if (auto* box = qobject_cast<QLineEdit*>(controls_[control])) box->selectAll();
}

std::optional<std::size_t> Form1::FocusedControl() const {
  const std::size_t row = RowOf(QApplication::focusWidget());
  if (row == kControls.size()) return std::nullopt;
  return row;
}

void Form1::After(std::chrono::milliseconds delay, std::function<void()> task) {
  QTimer::singleShot(delay, this, std::move(task));
}

void Form1::CloseProgress() {
  if (!progress_) return;
  progress_->hide();
  progress_->deleteLater();
  progress_ = nullptr;
}

void Form1::ShowRun(const RunProgress& run) {
  // Nothing typed while the run goes reaches the controls, to be applied afterwards.
  content_->setEnabled(!run.running);
  statusBar_->setEnabled(!run.running);
  if (!run.showDialog) {
    CloseProgress();
    return;
  }
  if (!progress_) {
    progress_ = new QProgressDialog(this);
    progress_->setWindowTitle(QStringLiteral("Snipforge"));
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(0);
    progress_->setRange(0, 100);
    // Not modal: the form takes no input while it runs anyway, and a modal box would make Qt
    // drop the window's close request, which must stop the run. Escape is Cancel, and the box
    // opens centred over the window.
    progress_->setWindowModality(Qt::NonModal);
    if (auto* label = progress_->findChild<QLabel*>()) label->setTextFormat(Qt::PlainText);
    connect(progress_, &QProgressDialog::canceled, this, [this] { logic_.Cancel(); });
    progress_->show();
    progress_->activateWindow();
  }
  progress_->setLabelText(FromUtf8(run.stage));
  progress_->setValue(run.percent);
  if (run.tooLateToCancel) progress_->setCancelButton(nullptr);
}

}  // namespace snipforge
