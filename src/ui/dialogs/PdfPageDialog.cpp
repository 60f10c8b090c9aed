#include "ui/dialogs/PdfPageDialog.h"

#include "ui/common/DialogButtons.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"

#include <QApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <set>
#include <thread>

namespace korvane {

namespace {

const int HelpContextDialog = 2500;
const int ThumbnailSide = 96;
const int PreviewSide = 480;

} // namespace

// Page pictures rendered one after another on a thread of their own, from a document of its
// own, the most recently asked for first; each is handed to the dialog through its event
// queue.
class TThumbnailRenderer {
public:
    using TDeliver = std::function<void(int Page, int Size, const QImage& Picture)>;

    TThumbnailRenderer(const TPdfDocument& Document, QObject* Receiver, TDeliver Deliver)
        : FData(Document.Data()), FPassword(Document.Password()), FReceiver(Receiver),
          FDeliver(std::move(Deliver)) {
        FThread = std::thread([this] { Run(); });
    }
    ~TThumbnailRenderer() {
        {
            std::lock_guard Lock(FMutex);
            FStop = true;
        }
        FWake.notify_all();
        FThread.join();
    }

    void Request(int Page, int Size, bool Urgent) {
        {
            std::lock_guard Lock(FMutex);
            if (FAsked.count({Page, Size}))
                return;
            FAsked.insert({Page, Size});
            if (Urgent)
                FQueue.push_front({Page, Size});
            else
                FQueue.push_back({Page, Size});
        }
        FWake.notify_all();
    }

private:
    void Run() {
        std::optional<TPdfDocument> Document;
        try {
            Document.emplace(TPdfDocument::FromData(FData, {}, FPassword));
        } catch (const std::exception&) {
            return; // the dialog's own document opened; pictures are only a help
        }
        for (;;) {
            std::pair<int, int> Next;
            {
                std::unique_lock Lock(FMutex);
                FWake.wait(Lock, [this] { return FStop || !FQueue.empty(); });
                if (FStop)
                    return;
                Next = FQueue.front();
                FQueue.pop_front();
            }
            QImage Picture;
            try {
                Picture = Document->Thumbnail(Next.first, Next.second);
            } catch (const std::exception&) {
                // A damaged page keeps its blank picture.
            }
            QMetaObject::invokeMethod(
                FReceiver,
                [Deliver = FDeliver, Next, Picture] { Deliver(Next.first, Next.second, Picture); },
                Qt::QueuedConnection);
        }
    }

    const QByteArray FData;
    const std::string FPassword;
    QObject* const FReceiver;
    const TDeliver FDeliver;
    std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<std::pair<int, int>> FQueue;
    std::set<std::pair<int, int>> FAsked;
    bool FStop = false;
    std::thread FThread;
};

// ---- TPdfCropView ----

TPdfCropView::TPdfCropView(QWidget* Parent) : QWidget(Parent) {
    setMinimumSize(200, 200);
    setCursor(Qt::CrossCursor);
    setToolTip(QStringLiteral("Drag a rectangle to open only that part of the page"));
}

void TPdfCropView::SetPage(const QImage& Picture, QSizeF PagePoints) {
    const bool NewPage = PagePoints != FPage;
    FPicture = Picture;
    FPage = PagePoints;
    if (NewPage) {
        FCrop.reset();
        if (OnChanged)
            OnChanged();
    }
    update();
}

std::optional<TPdfCrop> TPdfCropView::Crop() const {
    if (!FCrop)
        return std::nullopt;
    const int X0 = static_cast<int>(std::floor(FCrop->left())),
              Y0 = static_cast<int>(std::floor(FCrop->top()));
    const int X1 = static_cast<int>(std::ceil(FCrop->right())),
              Y1 = static_cast<int>(std::ceil(FCrop->bottom()));
    return TPdfCrop{X0, Y0, std::max(1, X1 - X0), std::max(1, Y1 - Y0)};
}

void TPdfCropView::SetCrop(const std::optional<TPdfCrop>& Crop) {
    if (Crop)
        FCrop = QRectF(Crop->X, Crop->Y, Crop->Width, Crop->Height);
    else
        FCrop.reset();
    update();
    if (OnChanged)
        OnChanged();
}

QRectF TPdfCropView::PageRect() const {
    if (FPage.isEmpty())
        return {};
    const QSizeF Fitted = FPage.scaled(QSizeF(size()) - QSizeF(8, 8), Qt::KeepAspectRatio);
    return {(width() - Fitted.width()) / 2, (height() - Fitted.height()) / 2, Fitted.width(),
            Fitted.height()};
}

QPointF TPdfCropView::ToPoints(QPointF Widget) const {
    const QRectF R = PageRect();
    if (R.isEmpty())
        return {};
    const double X = (Widget.x() - R.left()) / R.width() * FPage.width();
    const double Y = (Widget.y() - R.top()) / R.height() * FPage.height();
    return {std::clamp(X, 0.0, FPage.width()), std::clamp(Y, 0.0, FPage.height())};
}

void TPdfCropView::paintEvent(QPaintEvent*) {
    QPainter Painter(this);
    Painter.fillRect(rect(), palette().window());
    const QRectF R = PageRect();
    if (R.isEmpty())
        return;
    Painter.fillRect(R, Qt::white);
    if (!FPicture.isNull()) {
        Painter.setRenderHint(QPainter::SmoothPixmapTransform);
        Painter.drawImage(R, FPicture);
    }
    Painter.setPen(QPen(Qt::gray, 1));
    Painter.drawRect(R.adjusted(-0.5, -0.5, 0.5, 0.5));
    if (!FCrop)
        return;
    const double Sx = R.width() / FPage.width(), Sy = R.height() / FPage.height();
    const QRectF C(R.left() + FCrop->left() * Sx, R.top() + FCrop->top() * Sy, FCrop->width() * Sx,
                   FCrop->height() * Sy);
    // The part left out is dimmed.
    QPainterPath Outside;
    Outside.addRect(R);
    QPainterPath Inside;
    Inside.addRect(C);
    Painter.fillPath(Outside.subtracted(Inside), QColor(0, 0, 0, 90));
    Painter.setPen(QPen(QColor(0, 120, 215), 2));
    Painter.drawRect(C);
}

void TPdfCropView::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() != Qt::LeftButton || FPage.isEmpty())
        return;
    FAnchor = ToPoints(Event->position());
}

void TPdfCropView::mouseMoveEvent(QMouseEvent* Event) {
    if (!FAnchor)
        return;
    FCrop = QRectF(*FAnchor, ToPoints(Event->position())).normalized();
    update();
}

void TPdfCropView::mouseReleaseEvent(QMouseEvent* Event) {
    if (!FAnchor || Event->button() != Qt::LeftButton)
        return;
    FCrop = QRectF(*FAnchor, ToPoints(Event->position())).normalized();
    FAnchor.reset();
    // A click, or a rectangle too small to be meant: the whole page.
    if (FCrop->width() < 4 || FCrop->height() < 4)
        FCrop.reset();
    update();
    if (OnChanged)
        OnChanged();
}

// ---- TfrmPdfPage ----

TfrmPdfPage::TfrmPdfPage(const TPdfDocument& Document, QWidget* Parent)
    : QDialog(Parent, HelpDialogFlags), FDocument(Document) {
    setWindowTitle(QStringLiteral("Open PDF Page"));
    setModal(true);
    SetHelpContext(*this, HelpContextDialog);

    auto* PagesLabel = new QLabel(QStringLiteral("&Page:"), this);
    lstPages = new QListWidget(this);
    lstPages->setViewMode(QListView::IconMode);
    lstPages->setIconSize({ThumbnailSide, ThumbnailSide});
    lstPages->setGridSize({ThumbnailSide + 16, ThumbnailSide + 28});
    lstPages->setResizeMode(QListView::Adjust);
    lstPages->setMovement(QListView::Static);
    lstPages->setUniformItemSizes(true);
    lstPages->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPages->setMinimumWidth(2 * (ThumbnailSide + 16) + 30);
    PagesLabel->setBuddy(lstPages);
    QPixmap Blank(ThumbnailSide, ThumbnailSide);
    Blank.fill(Qt::transparent);
    for (int Page = 1; Page <= Document.PageCount(); ++Page)
        lstPages->addItem(new QListWidgetItem(QIcon(Blank), QString::number(Page)));
    lblPages = new QLabel(this);

    auto* DpiLabel = new QLabel(QStringLiteral("&Resolution (dpi):"), this);
    edtDpi = new TUpDownEdit(this);
    edtDpi->setRange(TPdfPageSpec::MinDpi, TPdfPageSpec::MaxDpi);
    edtDpi->setSingleStep(50);
    edtDpi->setValue(TPdfPageSpec::DefaultDpi);
    DpiLabel->setBuddy(edtDpi);
    lblSize = new QLabel(this);
    lblSize->setWordWrap(true);

    auto* CropLabel = new QLabel(
        QStringLiteral("Drag a rectangle on the page to open only that part of it:"), this);
    CropLabel->setWordWrap(true);
    pbCrop = new TPdfCropView(this);
    btnWholePage = new QPushButton(QStringLiteral("&Whole Page"), this);

    const TDialogButtons Buttons(*this, HelpContextDialog);
    btnOK = Buttons.OK;
    btnCancel = Buttons.Cancel;
    btnHelp = Buttons.Help;
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* Left = new QVBoxLayout;
    Left->addWidget(PagesLabel);
    Left->addWidget(lstPages, 1);
    Left->addWidget(lblPages);
    auto* DpiRow = new QHBoxLayout;
    DpiRow->addWidget(DpiLabel);
    DpiRow->addWidget(edtDpi);
    DpiRow->addStretch();
    auto* Right = new QVBoxLayout;
    Right->addLayout(DpiRow);
    Right->addWidget(lblSize);
    Right->addWidget(CropLabel);
    Right->addWidget(pbCrop, 1);
    auto* CropRow = new QHBoxLayout;
    CropRow->addStretch();
    CropRow->addWidget(btnWholePage);
    Right->addLayout(CropRow);
    auto* Columns = new QHBoxLayout;
    Columns->addLayout(Left);
    Columns->addLayout(Right, 1);
    auto* Main = new QVBoxLayout(this);
    Main->addLayout(Columns, 1);
    Main->addLayout(Buttons.Row);
    resize(680, 560);

    FRenderer = std::make_unique<TThumbnailRenderer>(
        Document, this,
        [this](int Page, int Size, const QImage& Picture) { PictureReady(Page, Size, Picture); });

    connect(lstPages, &QListWidget::currentRowChanged, this, [this] { PageChanged(); });
    connect(edtDpi, &QSpinBox::valueChanged, this, [this] { Refresh(); });
    connect(btnWholePage, &QPushButton::clicked, this, [this] { pbCrop->SetCrop(std::nullopt); });
    pbCrop->OnChanged = [this] { Refresh(); };
    connect(lstPages->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { RequestVisible(); });
    lstPages->setCurrentRow(0);
}

TfrmPdfPage::~TfrmPdfPage() = default;

TPdfPageSpec TfrmPdfPage::Spec() const {
    TPdfPageSpec Result;
    Result.Page = std::max(0, lstPages->currentRow()) + 1;
    Result.Dpi = std::clamp(edtDpi->value(), TPdfPageSpec::MinDpi, TPdfPageSpec::MaxDpi);
    Result.Crop = pbCrop->Crop();
    return Result;
}

void TfrmPdfPage::SetSpec(const TPdfPageSpec& Spec) {
    lstPages->setCurrentRow(std::clamp(Spec.Page, 1, FDocument.PageCount()) - 1);
    edtDpi->setValue(Spec.Dpi);
    pbCrop->SetCrop(Spec.Crop);
}

void TfrmPdfPage::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    // After the layout has placed the items.
    QTimer::singleShot(0, this, [this] { RequestVisible(); });
}

void TfrmPdfPage::PageChanged() {
    const int Page = Spec().Page;
    QSizeF Size;
    try {
        Size = FDocument.PageSize(Page);
    } catch (const std::exception&) {
    }
    pbCrop->SetPage({}, Size);
    FRenderer->Request(Page, PreviewSide, true);
    Refresh();
}

void TfrmPdfPage::Refresh() {
    const TPdfPageSpec S = Spec();
    lblPages->setText(QStringLiteral("Page %1 of %2").arg(S.Page).arg(FDocument.PageCount()));
    const QLocale Locale;
    try {
        FDocument.CheckRenderSize(S);
        const QSize Size = FDocument.RenderSize(S);
        const double Pixels = double(Size.width()) * Size.height();
        lblSize->setText(QStringLiteral("%1 x %2 pixels (%3 million); %4 MB in memory")
                             .arg(Size.width())
                             .arg(Size.height())
                             .arg(Locale.toString(Pixels / 1e6, 'f', 1))
                             .arg(Locale.toString(Pixels * 3 / (1 << 20), 'f', 1)));
        lblSize->setStyleSheet({});
        btnOK->setEnabled(true);
    } catch (const std::exception& Error) {
        lblSize->setText(QString::fromStdString(Error.what()));
        lblSize->setStyleSheet(QStringLiteral("color: #b00000"));
        btnOK->setEnabled(false);
    }
}

void TfrmPdfPage::RequestVisible() {
    const QRect View = lstPages->viewport()->rect();
    for (int Row = 0; Row < lstPages->count(); ++Row)
        if (lstPages->visualItemRect(lstPages->item(Row)).intersects(View))
            FRenderer->Request(Row + 1, ThumbnailSide, false);
}

void TfrmPdfPage::PictureReady(int Page, int Size, const QImage& Picture) {
    ++FRendered;
    if (Picture.isNull())
        return;
    if (Size == ThumbnailSide) {
        if (QListWidgetItem* Item = lstPages->item(Page - 1)) {
            QPixmap Icon(ThumbnailSide, ThumbnailSide);
            Icon.fill(Qt::transparent);
            QPainter Painter(&Icon);
            const QImage Scaled = Picture.scaled(ThumbnailSide, ThumbnailSide, Qt::KeepAspectRatio,
                                                 Qt::SmoothTransformation);
            const QPoint At((ThumbnailSide - Scaled.width()) / 2,
                            (ThumbnailSide - Scaled.height()) / 2);
            Painter.drawImage(At, Scaled);
            Painter.setPen(Qt::gray);
            Painter.drawRect(QRect(At, Scaled.size()).adjusted(0, 0, -1, -1));
            Item->setIcon(QIcon(Icon));
        }
    } else if (Page == Spec().Page) {
        try {
            pbCrop->SetPage(Picture, FDocument.PageSize(Page));
        } catch (const std::exception&) {
        }
    }
}

std::optional<TWorkingImage>
RenderPdfPageWithProgress(QWidget* Parent, const TPdfDocument& Document, const TPdfPageSpec& Spec) {
    Document.CheckRenderSize(Spec);
    TPdfRenderControl Control;
    std::optional<TWorkingImage> Result;
    std::exception_ptr Failure;
    std::atomic<bool> Finished{false};
    const QByteArray Data = Document.Data();
    const std::string Name = Document.Name(), Password = Document.Password();
    std::thread Worker([&] {
        try {
            Result = TPdfDocument::FromData(Data, Name, Password).Render(Spec, &Control);
        } catch (...) {
            Failure = std::current_exception();
        }
        Finished = true;
    });

    QProgressDialog Progress(
        QStringLiteral("Rendering page %1 at %2 dpi...").arg(Spec.Page).arg(Spec.Dpi),
        QStringLiteral("Cancel"), 0, 1000, Parent);
    Progress.setWindowTitle(QStringLiteral("Open PDF Page"));
    Progress.setWindowModality(Qt::WindowModal);
    Progress.setMinimumDuration(400);
    Progress.setAutoClose(false);
    Progress.setAutoReset(false);
    Progress.setValue(0);
    QEventLoop Loop;
    QTimer Poll;
    QObject::connect(&Poll, &QTimer::timeout, &Loop, [&] {
        if (Finished) {
            Loop.quit();
            return;
        }
        if (Progress.wasCanceled())
            Control.Cancel = true;
        const int Total = Control.Total;
        if (Total > 0)
            Progress.setValue(static_cast<int>(1000LL * Control.Done / Total));
    });
    Poll.start(30);
    if (!Finished)
        Loop.exec();
    Poll.stop();
    Worker.join();
    Progress.close();
    if (Control.Cancel)
        return std::nullopt;
    if (Failure)
        std::rethrow_exception(Failure);
    return Result;
}

} // namespace korvane
