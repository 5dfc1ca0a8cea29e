// SPDX-License-Identifier: LicenseRef-proprietary
#include "Form1.h"

#include "BuildConfig.h"

#include "AutorunFile.h"
#include "DriveListBox.h"
#include "Runtime.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

namespace {

// The size of the window's client area, in pixels at 96 dpi.
constexpr QSize kClientSize(566, 361);
constexpr int kTimerInterval = 200; // ms

enum class Weight { Regular = QFont::Normal, Bold = QFont::Bold };

// The first of `families` that is installed: naming only an installed face spares the font
// matcher a search for every missing one.
QString installedFamily(const QStringList &families)
{
    static const QStringList installed = QFontDatabase::families();
    const auto found = std::find_if(families.begin(), families.end(),
                                    [](const QString &family) { return installed.contains(family); });
    return found != families.end() ? *found : QString();
}

// A named face, or its first installed look-alike; size and weight are kept.
QFont fontOf(const QStringList &families, qreal points, Weight weight = Weight::Regular)
{
    QFont font;
    if (const QString family = installedFamily(families); !family.isEmpty())
        font.setFamily(family);
    font.setPointSizeF(points);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

// Tahoma, Arial and Courier New come with every Windows.
const QStringList kSansSerif{u"MS Sans Serif"_qs, u"Microsoft Sans Serif"_qs, u"Tahoma"_qs,
                             u"Arial"_qs,         u"DejaVu Sans"_qs,          u"Sans Serif"_qs};
const QStringList kTrebuchet{u"Trebuchet MS"_qs, u"Tahoma"_qs, u"Arial"_qs, u"DejaVu Sans"_qs, u"Sans Serif"_qs};
const QStringList kConsole{u"Lucida Console"_qs, u"Courier New"_qs, u"DejaVu Sans Mono"_qs, u"Monospace"_qs};

// Colours written as 0x00BBGGRR, blue in the high byte, as the design gives them.
QColor bgr(quint32 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

template <typename Widget, typename... Args>
Widget *place(QWidget *parent, const char *name, QRect geometry, Args &&...args)
{
    auto *widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QLatin1StringView(name));
    widget->setGeometry(geometry);
    return widget;
}

void fill(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(role == QPalette::Window);
}

} // namespace

Form1::Form1(std::chrono::milliseconds diskDeadline, QWidget *parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint),
      m_disk(diskDeadline)
{
    setObjectName(u"Form1"_qs);
    setWindowTitle(u"Orvane"_qs);
    QIcon icon;
    icon.addFile(u":/icons/orvane-16.png"_qs);
    icon.addFile(u":/icons/orvane-32.png"_qs);
    setWindowIcon(icon);
    setFont(fontOf(kSansSerif, 8.25));
    setFixedSize(kClientSize);

    // The banner: company, product and version on white, under a grey band.
    Picture1 = place<QFrame>(this, "Picture1", {0, 0, 569, 97});
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setLineWidth(2);
    Picture1->setFocusPolicy(Qt::StrongFocus);
    Picture1->setAccessibleName(u"Picture1"_qs);
    fill(Picture1, QPalette::Window, bgr(0x00FFFFFF));
    const QPoint inside = Picture1->contentsRect().topLeft();
    Label1 = place<QLabel>(Picture1, "Label1", QRect(inside, QSize(569, 49)), QString());
    Label1->setAccessibleName(u"Label1"_qs);
    fill(Label1, QPalette::Window, bgr(0x00E0E0E0));
    Label2 =
        place<QLabel>(Picture1, "Label2", QRect(inside + QPoint(8, 32), QSize(129, 17)), u"Pellium Corporation"_qs);
    Label2->setFont(fontOf(kTrebuchet, 9.75));
    fill(Label2, QPalette::WindowText, bgr(0x00404040));
    Label3 = place<QLabel>(Picture1, "Label3", QRect(inside + QPoint(8, 56), QSize(193, 41)), u"Orvane"_qs);
    Label3->setFont(fontOf(kTrebuchet, 15.75));
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fill(Label3, QPalette::WindowText, bgr(0x00000000)); // the banner is fixed white whatever the desktop's scheme
    Label4 = place<QLabel>(Picture1, "Label4", QRect(inside + QPoint(528, 72), QSize(89, 17)), u"V1.0"_qs);
    Label4->setFont(fontOf(kTrebuchet, 9.75));
    fill(Label4, QPalette::WindowText, bgr(0x00000000));

    Frame1 = place<QGroupBox>(this, "Frame1", {8, 104, 273, 81}, u"Removeable Disk"_qs);
    Drive1 = place<platform::DriveListBox>(Frame1, "Drive1", {32, 32, 201, 21});

    Frame2 = place<QGroupBox>(this, "Frame2", {8, 192, 273, 89}, u"Options"_qs);
    Check1 = place<QCheckBox>(Frame2, "Check1", {16, 24, 153, 25}, u"Show contents"_qs);
    Check1->setChecked(true);
    Command4 = place<QPushButton>(Frame2, "Command4", {8, 56, 89, 25}, u"About"_qs);
    Command5 = place<QPushButton>(Frame2, "Command5", {104, 56, 161, 25}, u"Search Viruses"_qs);
    Command5->setFont(fontOf(kSansSerif, 8.25, Weight::Bold));
    Timer1 = new QTimer(Frame2);
    Timer1->setObjectName(u"Timer1"_qs);
    Timer1->setInterval(kTimerInterval);
    Timer1->setTimerType(Qt::PreciseTimer); // a coarse timer would drift the stages off 0.2, 1.0 and 2.0 s

    Frame4 = place<QGroupBox>(this, "Frame4", {8, 288, 273, 65}, QString());
    Frame4->setAccessibleName(u"Frame4"_qs);
    XP_ProgressBar1 = place<QProgressBar>(Frame4, "XP_ProgressBar1", {8, 16, 257, 17});
    XP_ProgressBar1->setRange(0, 100);
    XP_ProgressBar1->setValue(0);
    XP_ProgressBar1->setTextVisible(true);
    XP_ProgressBar1->setAccessibleName(u"XP_ProgressBar1"_qs);
    fill(XP_ProgressBar1, QPalette::Highlight, bgr(0x0000C000));
    // The plain style draws the bar in that green everywhere; native ones draw their own colour.
    if (QStyle *plain = QStyleFactory::create(u"Windows"_qs)) {
        plain->setParent(XP_ProgressBar1);
        XP_ProgressBar1->setStyle(plain);
    }
    Label5 = place<QLabel>(Frame4, "Label5", {8, 40, 137, 17}, u"Done"_qs);

    Frame3 = place<QGroupBox>(this, "Frame3", {288, 104, 273, 193}, u"Contents"_qs);
    Text1 = place<QPlainTextEdit>(Frame3, "Text1", {16, 24, 241, 153});
    Text1->setFont(fontOf(kConsole, 9.75));
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setTabChangesFocus(true);
    Text1->setAccessibleName(u"Text1"_qs);

    Command2 = place<QPushButton>(this, "Command2", {400, 304, 81, 25}, u"Delete"_qs);
    Command2->setFont(fontOf(kSansSerif, 8.25, Weight::Bold));
    Command1 = place<QPushButton>(this, "Command1", {488, 304, 73, 25}, u"Quit"_qs);

    // Keyboard order; the banner takes the focus first.
    const QList<QWidget *> tabOrder{Picture1, Drive1, Command1, Command2, Text1, Check1, Command4, Command5};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    Picture1->setFocus();

    m_controls = std::make_unique<platform::WidgetControls>(platform::ControlWidgets{
        this, Drive1, Label5, XP_ProgressBar1, Check1, Text1, Timer1, &r, [this] { return m_disk.isEnding(); }});

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);

    platform::centreOnScreen(*this);

    // Said over the window once it is up, for a broken install is otherwise seen only when
    // a dead disk keeps the program from ending.
    // A watcher the window owns: the answer is dropped should the window go first.
    auto *warning = new QFutureWatcher<QString>(this);
    connect(warning, &QFutureWatcher<QString>::finished, this, [this, warning] {
        if (const QString text = warning->result(); !text.isEmpty())
            m_controls->messageBox(text, platform::MessageStyle::Warning, u"Orvane"_qs);
    });
    warning->setFuture(platform::volumeAccessWarning());
}

void Form1::Command1_Click()
{
    Timer1->stop();
    platform::endProgram();
}

void Form1::Command2_Click()
{
    scan::deleteCommand(*m_controls, m_files);
}

void Form1::Command4_Click()
{
    m_controls->messageBox(u"Orvane " ORVANE_VERSION " was written by Pellium Corporation."_qs,
                           platform::MessageStyle::Information, u"About orvane."_qs);
}

void Form1::Command5_Click()
{
    scan::searchCommand(*m_controls);
    platform::prepareVolumeAccess();
}

void Form1::Timer1_Timer()
{
    scan::tickSequence(TickCount, *m_controls, m_files);
}
