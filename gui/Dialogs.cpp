#include "gui/Dialogs.h"

#include "gui/Artwork.h"
#include "platform/PortTable.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

QString CAboutDlg::VersionText() { return QStringLiteral("Version: " TESSARIN_VERSION_TEXT ", " TESSARIN_RELEASE_DATE); }

CAboutDlg::CAboutDlg(const QString& productTitle, QWidget* parent) : QDialog(parent), m_title(new QLabel(productTitle))
{
    setWindowTitle("About");
    setObjectName("AboutDlg");
    auto* icon = new QLabel;
    icon->setPixmap(Artwork::ApplicationIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    m_title->setObjectName("AboutTitle");
    auto* version = new QLabel(VersionText());
    version->setObjectName("AboutVersion");
    auto* texts = new QVBoxLayout;
    texts->addWidget(m_title);
    texts->addWidget(version);
    texts->addStretch();
    auto* ok = new QPushButton("OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* okColumn = new QVBoxLayout;
    okColumn->addWidget(ok);
    okColumn->addStretch();
    auto* row = new QHBoxLayout(this);
    row->addWidget(icon);
    row->addSpacing(12);
    row->addLayout(texts, 1);
    row->addLayout(okColumn);
    row->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(352);
}

CCommDialog::CCommDialog(int currentPort, QWidget* parent)
    : QDialog(parent), m_currentPort(currentPort), m_ports(new QComboBox)
{
    setWindowTitle("Communication Settings");
    setObjectName("CommDialog");
    m_ports->setObjectName("PortList");
    int selected = -1;
    for (const PortEntry& entry : ListAvailablePorts()) {
        if (!entry.present)
            continue;
        QString device = QString::fromStdString(entry.path);
        if (!entry.name.empty())
            device += "  (" + QString::fromStdString(entry.name) + ")";
        m_ports->addItem(QString::asprintf("COM%u", entry.number), entry.number);
        m_ports->setItemData(m_ports->count() - 1, device, Qt::ToolTipRole);
        if (static_cast<int>(entry.number) == currentPort)
            selected = m_ports->count() - 1;
    }
    m_ports->setCurrentIndex(selected);
    connect(m_ports, &QComboBox::currentIndexChanged, this, &CCommDialog::ShowDevice);
    ShowDevice();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(new QLabel("Comm Port"));
    portRow->addWidget(m_ports, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(portRow);
    layout->addStretch();
    layout->addWidget(buttons);
    resize(340, 140);
}

int CCommDialog::PortNumber() const
{
    // With nothing selected the port stays as it was: the setting is always a port number.
    if (m_ports->currentIndex() < 0)
        return m_currentPort;
    return m_ports->currentData().toInt();
}

void CCommDialog::ShowDevice()
{
    // The device behind the chosen number is the list's tool tip: the dialog itself keeps its
    // one row of port choice.
    if (m_ports->currentIndex() < 0)
        m_ports->setToolTip(m_ports->count() == 0 ? "No serial port was found on this machine."
                                                  : "No port is selected.");
    else
        m_ports->setToolTip(m_ports->currentData(Qt::ToolTipRole).toString());
}

COrxDialog::COrxDialog(int echoType, QWidget* parent)
    : QDialog(parent), m_echo(new QRadioButton("Echo")), m_noEcho(new QRadioButton("No Echo"))
{
    setWindowTitle("ORX Setting");
    setObjectName("OrxDialog");
    m_echo->setObjectName("Echo");
    m_noEcho->setObjectName("NoEcho");
    (echoType == 1 ? m_echo : m_noEcho)->setChecked(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Select ORX interface setting:"));
    layout->addWidget(m_echo);
    layout->addWidget(m_noEcho);
    layout->addStretch();
    layout->addWidget(buttons);
    resize(280, 150);
}

int COrxDialog::EchoType() const { return m_echo->isChecked() ? 1 : 0; }

const char* const FlashDialog::kExplanation =
    "Highest rate each radio and cable can take:\n\n"
    "DM-400 portables on the direct cable (TC-10) with the flash adapter (FA-2): 115200.\n"
    "DM-400 portables on the interface box cable (TC-12) with the flash adapter: 38400.\n"
    "DM-700 mobiles on their programming cable (TC-30): 38400.\n\n"
    "When unsure, choose 19,200 Bd: every radio can take it.";

FlashDialog::FlashDialog(int initialBaud, QWidget* parent) : QDialog(parent), m_group(new QButtonGroup(this))
{
    setWindowTitle("Configuration");
    setObjectName("FlashDialog");
    const char* labels[3] = {"19,200 Bd ", "38,400 Bd", "115,200 Bd"};
    auto* frame = new QGroupBox("Flash Rate");
    auto* rates = new QVBoxLayout(frame);
    for (int i = 0; i < 3; ++i) {
        m_rates[i] = new QRadioButton(labels[i]);
        m_rates[i]->setObjectName(QString("Rate%1").arg(i));
        m_group->addButton(m_rates[i], i);
        rates->addWidget(m_rates[i]);
    }
    m_rates[RateIndexForBaud(initialBaud)]->setChecked(true);

    auto* picture = new QLabel;
    picture->setPixmap(Artwork::FlashAdapterPicture());
    picture->setObjectName("FlashPicture");
    auto* explanation = new QLabel(kExplanation);
    explanation->setObjectName("FlashExplanation");
    explanation->setTextFormat(Qt::PlainText);
    explanation->setWordWrap(true);

    auto* ok = new QPushButton("OK");
    ok->setObjectName("FlashOk");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* left = new QVBoxLayout;
    left->addWidget(picture);
    left->addWidget(frame);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(explanation, 1);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(ok);
    right->addLayout(okRow);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);
    resize(520, 230);
}

int FlashDialog::SelectedRate() const { return m_group->checkedId(); }

int FlashDialog::SelectedBaud() const { return BaudForRateIndex(SelectedRate()); }

int FlashDialog::RateIndexForBaud(int baud)
{
    if (baud == 38400)
        return 1;
    if (baud == 115200)
        return 2;
    return 0;
}

int FlashDialog::BaudForRateIndex(int index)
{
    static const int rates[3] = {19200, 38400, 115200};
    return index >= 0 && index < 3 ? rates[index] : 0;
}
