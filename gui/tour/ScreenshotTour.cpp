// tessarin-gui-tour: runs the windowed program on an X display (Xvfb) against a radio, walks
// through its windows the way a technician would (settings dialogs, about box, a whole
// upgrade) and saves a picture of each. Without a window manager the windows have no title
// bars; each picture gets a plain one with the window's own title, drawn here.
#include "gui/Dialogs.h"
#include "gui/MainFrame.h"
#include "gui/ProgressWnd.h"
#include "gui/SXButton.h"
#include "gui/TessarinApp.h"
#include "gui/UpgradeForm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace {

constexpr int kTitleBarHeight = 24;

bool Press(QWidget* window, const QString& label)
{
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->text().remove('&').trimmed() == label && button->isVisible()) {
            button->click();
            return true;
        }
    }
    return false;
}

class CTour : public QObject {
public:
    CTour(CTessarinApp& app, QString outDir) : m_app(app), m_outDir(std::move(outDir))
    {
        QDir().mkpath(m_outDir);
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start(50);
        m_total.start();
        m_step.start();
    }
    int Failures() const { return m_failures; }

private:
    CMainFrame& Frame() { return *m_app.MainFrame(); }
    void Next()
    {
        ++m_state;
        m_step.restart();
    }
    bool Waited(int milliseconds) const { return m_step.elapsed() >= milliseconds; }

    void Poll()
    {
        if (m_total.elapsed() > 15 * 60 * 1000) {
            std::fprintf(stderr, "tour: no end after 15 minutes\n");
            Snap("timeout");
            ++m_failures;
            QCoreApplication::exit(1);
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        switch (m_state) {
        case 0:
            if (Waited(300)) {
                Snap("start-view");
                Next();
            }
            break;
        case 1:
            if (Frame().Form() && Waited(500)) {
                Snap("upgrade-form");
                Next();
            }
            break;
        case 2:
            OpenThen([this] { Frame().OnCommSetting(); });
            break;
        case 3:
            SnapDialog<CCommDialog>(modal, "comm-settings", "Cancel");
            break;
        case 4:
            OpenThen([this] { Frame().OnOrxSetting(); });
            break;
        case 5:
            SnapDialog<COrxDialog>(modal, "orx-setting", "Cancel");
            break;
        case 6:
            OpenThen([this] { Frame().OnAbout(); });
            break;
        case 7:
            SnapDialog<CAboutDlg>(modal, "about", "OK");
            break;
        case 8:
            Frame().Form()->ProgramButton()->click();
            Next();
            break;
        case 9:
            Upgrade(modal);
            break;
        case 10:
            // The last answer given: wait for the upgrade to end, declining whatever it asks.
            if (modal && modal != m_answered.data() && Waited(400)) {
                if (!Press(modal, "Cancel"))
                    Press(modal, "OK");
                m_answered = modal;
            }
            if (Frame().Form()->IsRunning())
                return;
            Next();
            break;
        default:
            m_timer.stop();
            QCoreApplication::exit(m_failures == 0 ? 0 : 1);
            break;
        }
    }

    // Opens a modal window from the event loop (its exec() must not run inside this poll).
    void OpenThen(const std::function<void()>& open)
    {
        if (!Waited(200))
            return;
        QTimer::singleShot(0, this, open);
        Next();
    }

    template <class Dialog>
    void SnapDialog(QWidget* modal, const char* name, const char* button)
    {
        if (!qobject_cast<Dialog*>(modal) || !Waited(400))
            return;
        Snap(name);
        Press(modal, button);
        Next();
    }

    void Upgrade(QWidget* modal)
    {
        CProgressWnd& progress = Frame().Progress();
        if (!m_progressShot && progress.isVisible() && progress.Bar()->maximum() > 20 &&
            progress.Position() > progress.Bar()->maximum() / 3) {
            Snap("progress");
            m_progressShot = true;
        }
        if (!modal || modal == m_answered.data() || !Waited(400))
            return;
        if (auto* flash = qobject_cast<FlashDialog*>(modal)) {
            Snap("flash-rate");
            flash->RateButton(2)->click();
            Press(flash, "OK");
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            const QString text = box->text();
            if (text == "Radio Update is successful") {
                Snap("success");
                Press(box, "OK");
                Next();
            } else if (text.startsWith("1) Switch the radio ON/OFF")) {
                Snap("bootstrap-prompt");
                Press(box, "OK");
            } else {
                std::fprintf(stderr, "tour: unexpected message [%s] %s\n", qPrintable(box->windowTitle()), qPrintable(text));
                Snap(QString("message-%1").arg(++m_messages));
                ++m_failures;
                // An error ends the tour: Cancel where offered (no retry), else OK.
                if (!Press(box, "Cancel"))
                    Press(box, "OK");
                Next();
            }
        }
        m_answered = modal;
        m_step.restart();
    }

    // The screen as it is, with a title bar over each window, cut to the windows.
    void Snap(const QString& name)
    {
        QApplication::processEvents();
        QScreen* screen = QGuiApplication::primaryScreen();
        const QImage root = screen->grabWindow(0).toImage();
        QList<QWidget*> windows;
        windows << &Frame();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != &Frame() && w->isVisible() && w->isWindow() && w->windowType() != Qt::ToolTip &&
                w->windowType() != Qt::Popup)
                windows << w;
        if (QWidget* modal = QApplication::activeModalWidget()) {
            windows.removeAll(modal);
            windows << modal;
        }

        QImage picture(root.size(), QImage::Format_RGB32);
        picture.fill(QColor(58, 84, 110));
        QPainter p(&picture);
        QRect used;
        for (QWidget* w : windows) {
            const QRect area = w->frameGeometry();
            const QRect bar(area.left(), area.top() - kTitleBarHeight, area.width(), kTitleBarHeight);
            QLinearGradient shade(bar.topLeft(), bar.topRight());
            shade.setColorAt(0, QColor(22, 52, 110));
            shade.setColorAt(1, QColor(70, 120, 190));
            p.fillRect(bar, shade);
            QFont font = w->font();
            font.setBold(true);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(bar.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
            p.drawImage(area.topLeft(), root.copy(area));
            p.setPen(QColor(20, 30, 50));
            p.setBrush(Qt::NoBrush);
            p.drawRect(area.united(bar).adjusted(0, 0, -1, -1));
            used = used.united(area.united(bar));
        }
        p.end();
        const QRect crop = used.adjusted(-12, -12, 12, 12).intersected(picture.rect());
        const QString file = QString("%1/%2.png").arg(m_outDir, name);
        if (!picture.copy(crop).save(file)) {
            std::fprintf(stderr, "tour: cannot write %s\n", qPrintable(file));
            ++m_failures;
        } else {
            std::printf("%s\n", qPrintable(file));
            std::fflush(stdout);
        }
    }

    CTessarinApp& m_app;
    QString m_outDir;
    QTimer m_timer;
    QElapsedTimer m_total;
    QElapsedTimer m_step;
    int m_state = 0;
    int m_failures = 0;
    int m_messages = 0;
    bool m_progressShot = false;
    QPointer<QWidget> m_answered;  // the next window may come up at the same address
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tessarin-gui-tour KIT_DIR OUT_DIR\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    std::error_code error;
    std::filesystem::current_path(argv[1], error);
    if (error) {
        std::fprintf(stderr, "tour: cannot use the kit folder %s: %s\n", argv[1], error.message().c_str());
        return 2;
    }
    CTessarinApp app;
    if (!app.InitInstance())
        return 1;
    app.MainFrame()->move(40, 40 + kTitleBarHeight);
    CTour tour(app, out);
    int status = application.exec();
    app.ExitInstance();
    return status != 0 ? status : (tour.Failures() == 0 ? 0 : 1);
}
