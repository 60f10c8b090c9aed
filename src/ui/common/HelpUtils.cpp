#include "ui/common/HelpUtils.h"

#include "ui/help/HelpWindow.h"
#include "ui/help/Manual.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QUrl>
#include <QVariant>
#include <QWidget>
#include <iterator>

namespace korvane {

namespace {

struct THelpEntry {
    int Context;
    const char* Text;
};

const char* const NameText = "The name of the digitization.";
const char* const ColorText = "The color used for displaying the digitization.";

const THelpEntry HelpTexts[] = {
    {1001, "Specifies the display color for selected points."},
    {1002, "Show a marker while digitizing."},
    {1003, "How quickly the line follower moves."},
    {1004, "How tolerant to be when matching pixels on a line. 0 requires an exact match. 100 is "
           "completely permissive."},
    {1005, "How large of a gap the vectorizer will jump to find the next pixel."},
    {1006, "How much of a difference in line thickness the vectorizer will tolerate before "
           "skipping ahead."},
    {1007, "How large of a vertical jump the vectorizer will consider to find the next pixel."},
    {1008, "How far forward the vectorizer will look to predict the next pixel."},
    {1009, "How far to the left and right the vectorizer will look to predict the centerline."},
    {1051, "The color for painting and touching up lines to digitize."},
    {1052, "The color for painting the background of the image."},
    {1053, "The color for marking a line to digitize. This should be different from both the "
           "foreground color and the background color."},
    {1054, "The width of the pen while painting."},
    {1101, "The units for the X axis."},
    {1102, "The units for the Y axis."},
    {1201, "Sets the output format to scientific notation for the X axis."},
    {1202, "Sets the output format to floating-point notation for the X axis."},
    {1203, "Sets the output precision for the X axis."},
    {1204, "Sets the output format to scientific notation for the Y axis."},
    {1205, "Sets the output format to floating-point notation for the Y axis."},
    {1206, "Sets the output precision for the Y axis."},
    {1207, "Makes the current formats the default for new images."},
    {1301, NameText},
    {1401, NameText},
    {1302, ColorText},
    {1402, ColorText},
    {1303, "The radius of the points when displayed on the screen. A larger radius makes it "
           "easier to click on an existing point to erase it."},
    {1501, "The left operand of the expression. This digitization's X values will be used as the "
           "basis for the resulting dataset."},
    {1502, "The operation to perform on the digitizations."},
    {1503, "The right operand of the expression. This digitization's X values will be fit to the "
           "left operand's X values when calculating."},
    {1601, "The X value for this point."},
    {1602, "Whether or not the X axis is logarithmic."},
    {1603, "The Y value for this point."},
    {1604, "Whether or not the Y axis is logarithmic."},
    {2301, "Lists the available templates for formatting data."},
    {2302, "Shows what the first few points will look like when saved using the current "
           "template."},
    {2303, "Edits the current template."},
    {2304, "Outputs all points on the digitization."},
    {2305, "Outputs only the selected points on the digitization"},
    {2306, "Copies the outputted data to the clipboard, instead of saving it to a file."},
    {2307, "Shows the syntax of the current template."},
    {2308, "Deletes the current template."},
    {2309, "Inserts a pre-defined template placeholder."},
    {2310, "Shows the output preview."},
    {2311, "Saves the current template to be reused with other data."},
};

const char* const HelpContextProperty = "helpContext";
THelpViewer& HelpViewer() {
    static THelpViewer Viewer;
    return Viewer;
}

} // namespace

const char* HelpText(int Context) {
    for (const THelpEntry& Entry : HelpTexts)
        if (Entry.Context == Context)
            return Entry.Text;
    return nullptr;
}

void SetHelpContext(QWidget& Control, int Context) {
    Control.setProperty(HelpContextProperty, Context);
    const char* Text = HelpText(Context);
    Control.setWhatsThis(Text ? QString::fromUtf8(Text) : QString());
}

int HelpContextOf(const QWidget& Control) {
    return Control.property(HelpContextProperty).toInt();
}

const TManual*& ManualInUse() {
    static const TManual* Manual = nullptr;
    return Manual;
}

const TManual& HelpManual() {
    return ManualInUse() ? *ManualInUse() : TManual::BuiltIn();
}

void SetHelpManual(const TManual* Manual) {
    ManualInUse() = Manual;
}

// The program's help window; while a modal dialog runs (which would block it), one of the
// dialog's own that goes with it.
THelpWindow& HelpWindowForNow() {
    QWidget* Modal = QApplication::activeModalWidget();
    if (!Modal)
        return THelpWindow::Instance();
    if (auto* Own = Modal->findChild<THelpWindow*>(QString(), Qt::FindDirectChildrenOnly))
        return *Own;
    auto* Window = new THelpWindow(HelpManual(), Modal);
    Window->setWindowFlag(Qt::Window);
    Window->setAttribute(Qt::WA_DeleteOnClose);
    return *Window;
}

bool HelpAvailable() {
    return !HelpManual().Empty();
}

QString HelpTopicOf(int Context) {
    return HelpManual().PageOf(Context);
}

void ShowHelpTopic(int Context) {
    if (!HelpAvailable())
        return;
    if (HelpViewer()) {
        HelpViewer()(HelpTopicOf(Context), Context);
        return;
    }
    THelpWindow& Window = HelpWindowForNow();
    Window.ShowContext(Context);
    Window.show();
    Window.raise();
    Window.activateWindow();
}

void ShowHelpIndex() {
    if (!HelpAvailable())
        return;
    THelpWindow& Window = HelpWindowForNow();
    Window.tabs->setCurrentIndex(1);
    Window.edIndex->setFocus();
    Window.show();
    Window.raise();
    Window.activateWindow();
}

void SetHelpViewer(THelpViewer Viewer) {
    HelpViewer() = std::move(Viewer);
}

void ConnectHelpButton(QPushButton& Button, int Context) {
    ConnectHelpButton(Button, [Context] { return Context; });
}

void ConnectHelpButton(QPushButton& Button, std::function<int()> Context) {
    Button.setEnabled(HelpAvailable());
    QObject::connect(&Button, &QPushButton::clicked, &Button,
                     [Context = std::move(Context)] { ShowHelpTopic(Context()); });
}

void CenterOnScreen(QWidget& Form) {
    const QWidget* Parent = Form.parentWidget();
    QScreen* Screen = Parent ? Parent->screen() : nullptr;
    if (!Screen)
        Screen = QGuiApplication::primaryScreen();
    if (!Screen)
        return;
    const QRect Area = Screen->availableGeometry();
    const QSize Size = Form.frameGeometry().size();
    Form.move(Area.x() + (Area.width() - Size.width()) / 2,
              Area.y() + (Area.height() - Size.height()) / 2);
}

} // namespace korvane
