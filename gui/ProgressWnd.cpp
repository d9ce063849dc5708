#include "gui/ProgressWnd.h"

#include "platform/SettingsStore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace {
// The thin edge the layout is measured in, as the classic window metrics give it.
constexpr int kEdge = 2;
} // namespace

CProgressWnd::CProgressWnd(QWidget* mainWindow, std::function<void(bool)> holdMainDisabled,
                           std::function<void()> onCancel)
    : QWidget(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_mainWindow(mainWindow),
      m_holdMainDisabled(std::move(holdMainDisabled)),
      m_onCancel(std::move(onCancel)),
      m_text(new QLabel(this)),
      m_bar(new QProgressBar(this)),
      m_cancelButton(new QPushButton(kCancelLabel, this))
{
    setObjectName("ProgressWnd");
    setCursor(Qt::BusyCursor);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    m_text->setObjectName("ProgressText");
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(false);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_bar->setObjectName("ProgressBar");
    m_bar->setTextVisible(false);
    m_cancelButton->setObjectName("ProgressCancel");
    connect(m_cancelButton, &QPushButton::clicked, this, &CProgressWnd::Cancel);
    resize(390, 130);
}

CProgressWnd::~CProgressWnd()
{
    if (m_windowCreated)
        Destroy();
}

bool CProgressWnd::CreatePopup(const QString& title, bool smooth, bool showCancel)
{
    m_cancelled = false;
    m_position = 0;
    m_lastPercent = 0;
    m_bar->setValue(0);
    setWindowTitle(title);
    // Qt's bar is always drawn smooth; the flag is kept for the callers' sake.
    (void)smooth;
    m_showCancel = showCancel;
    m_cancelButton->setVisible(showCancel);
    m_cancelButton->setEnabled(showCancel);
    ArrangeControls(m_textLines, 390);
    PlaceWindow();
    m_windowCreated = true;
    ShowPopup();
    return true;
}

void CProgressWnd::ShowCancel()
{
    if (m_showCancel)
        return;
    m_showCancel = true;
    m_cancelButton->setVisible(true);
    m_cancelButton->setEnabled(true);
    ArrangeControls(m_arrangedLines, m_arrangedWidth);
}

bool CProgressWnd::BeginModal(const QString& title, bool smooth)
{
    if (!m_windowCreated && !CreatePopup(title, smooth, true))
        return false;
    if (!m_modal && m_holdMainDisabled)
        m_holdMainDisabled(true);
    setEnabled(true);
    m_modal = true;
    return true;
}

void CProgressWnd::ArrangeControls(int lines, int width)
{
    m_arrangedLines = lines;
    m_arrangedWidth = width;
    const QFontMetrics metrics(m_text->font());
    QStringList sample;
    for (int i = 0; i < lines; ++i)
        sample << "M";
    const int textHeight = metrics.boundingRect(QRect(0, 0, 1000, 1000), 0, sample.join('\n')).height();
    const QRect text(10, 10, width, textHeight);

    const QFontMetrics buttonMetrics(m_cancelButton->font());
    const QString label = QString(kCancelLabel) + "  ";
    const int buttonWidth = buttonMetrics.horizontalAdvance(label) + 4 * kEdge;
    const int buttonHeight = buttonMetrics.height() + 3 * kEdge;
    const QRect button(text.right() + 1 - buttonWidth, text.bottom() + 1 + 10, buttonWidth, buttonHeight);

    const int barRight = m_showCancel ? button.left() - 10 : text.right() + 1;
    const QRect bar(text.left(), button.top() + kEdge, barRight - text.left(), buttonHeight - 2 * kEdge);

    setFixedSize(width + 20, textHeight + buttonHeight + 30);
    m_bar->setGeometry(bar);
    m_cancelButton->setGeometry(button);
    m_text->setGeometry(text);
}

void CProgressWnd::SetBarRange(int lower, int upper, int step)
{
    m_lower = lower;
    m_upper = upper;
    m_step = step;
    m_bar->setRange(lower, upper);
}

void CProgressWnd::SetBarPosition(int position)
{
    m_position = position;
    const int percent = m_upper > m_lower ? position * 100 / (m_upper - m_lower) : 0;
    if (percent != m_lastPercent) {
        m_lastPercent = percent;
        setWindowTitle(QString::asprintf("%s [%d%%]", kCaptionTitle, percent));
    }
    m_bar->setValue(std::clamp(position, m_bar->minimum(), m_bar->maximum()));
    ShowPopup();
}

void CProgressWnd::StepBar() { SetBarPosition(m_position + m_step); }

void CProgressWnd::SetMessage(const QString& text)
{
    m_message = text.left(511);
    ShowMessage();
}

void CProgressWnd::ShowMessage()
{
    m_text->setText(m_message);
    // A message line wider than the text area widens the window (it keeps its place), so
    // that no warning is cut off whatever font the desktop gives.
    const QRect needed = QFontMetrics(m_text->font()).boundingRect(QRect(0, 0, 4000, 4000), 0, m_message);
    if (needed.width() > m_arrangedWidth)
        ArrangeControls(m_arrangedLines, needed.width());
}

void CProgressWnd::ResetPopup()
{
    m_message.clear();
    ShowMessage();
    m_position = 0;
    m_bar->setValue(m_bar->minimum());
    m_cancelled = false;
    update();
}

void CProgressWnd::HidePopup()
{
    if (isVisible())
        hide();
}

void CProgressWnd::ShowPopup()
{
    if (!m_windowCreated || isVisible())
        return;
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
    update();
}

void CProgressWnd::Destroy()
{
    if (!m_windowCreated)
        return;
    SavePlacement();
    if (m_modal) {
        m_modal = false;
        if (m_holdMainDisabled)
            m_holdMainDisabled(false);
    }
    m_windowCreated = false;
    hide();
}

void CProgressWnd::Cancel()
{
    if (!m_windowCreated)
        return;
    m_cancelled = true;
    if (m_onCancel)
        m_onCancel();
    HidePopup();
    if (m_modal)
        Destroy();
    if (m_mainWindow)
        m_mainWindow->activateWindow();
}

void CProgressWnd::closeEvent(QCloseEvent* event)
{
    // The window menu's Close is not a way out: only Cancel stops the work.
    event->ignore();
}

void CProgressWnd::PlaceWindow()
{
    int x = -1;
    int y = -1;
    if (m_rememberPlacement) {
        Settings().ReadDword(SettingsSection::kWindow, "X", x);
        Settings().ReadDword(SettingsSection::kWindow, "Y", y);
    }
    QScreen* screen = m_mainWindow ? m_mainWindow->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    if (m_rememberPlacement && x >= 0 && y >= 0 && x < area.width() && y < area.height()) {
        move(x, y);
        return;
    }
    const QRect around = m_mainWindow && m_mainWindow->isVisible() ? m_mainWindow->frameGeometry() : area;
    move(around.center() - QPoint(width() / 2, height() / 2));
}

void CProgressWnd::SavePlacement()
{
    if (!m_rememberPlacement)
        return;
    const QPoint at = pos();
    Settings().WriteDword(SettingsSection::kWindow, "X", at.x());
    Settings().WriteDword(SettingsSection::kWindow, "Y", at.y());
}
