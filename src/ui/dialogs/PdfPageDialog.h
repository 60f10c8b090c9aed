#pragma once

#include "image/PdfDocument.h"

#include <QDialog>
#include <QImage>
#include <QRectF>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QLabel;
class QListWidget;
class QPushButton;

namespace korvane {

class TUpDownEdit;
class TThumbnailRenderer;

// A page shown large enough to draw on it the part that is to be opened: drag a rectangle;
// a click without a drag, or Clear, takes the whole page again.
class TPdfCropView : public QWidget {
public:
    explicit TPdfCropView(QWidget* Parent = nullptr);

    void SetPage(const QImage& Picture, QSizeF PagePoints);
    // In points from the page's top left corner; nullopt for the whole page.
    std::optional<TPdfCrop> Crop() const;
    void SetCrop(const std::optional<TPdfCrop>& Crop);

    std::function<void()> OnChanged;

    QSize sizeHint() const override { return {300, 360}; }

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    // Where the page is drawn in the widget.
    QRectF PageRect() const;
    QPointF ToPoints(QPointF Widget) const;

    QImage FPicture;
    QSizeF FPage;
    std::optional<QRectF> FCrop; // points
    std::optional<QPointF> FAnchor;
};

// File > Open on a PDF: which page, at what resolution, and optionally which part of it.
// The page thumbnails are rendered on another thread as they come into view.
class TfrmPdfPage : public QDialog {
public:
    explicit TfrmPdfPage(const TPdfDocument& Document, QWidget* Parent = nullptr);
    ~TfrmPdfPage() override;

    QListWidget* lstPages;
    QLabel* lblPages;
    TUpDownEdit* edtDpi;
    QLabel* lblSize;
    TPdfCropView* pbCrop;
    QPushButton* btnWholePage;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    TPdfPageSpec Spec() const;
    void SetSpec(const TPdfPageSpec& Spec);
    // How many page pictures have arrived from the rendering thread.
    int PicturesRendered() const { return FRendered; }

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void PageChanged();
    void Refresh();
    void RequestVisible();
    void PictureReady(int Page, int Size, const QImage& Picture);

    const TPdfDocument& FDocument;
    std::unique_ptr<TThumbnailRenderer> FRenderer;
    int FRendered = 0;
};

// Renders the page on another thread while a progress dialog (shown when it takes longer
// than a moment) offers Cancel. nullopt when the user cancelled; throws EImageError.
std::optional<TWorkingImage>
RenderPdfPageWithProgress(QWidget* Parent, const TPdfDocument& Document, const TPdfPageSpec& Spec);

} // namespace korvane
