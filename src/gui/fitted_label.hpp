#pragma once

#include <QLabel>

class QTextLayout;

namespace brandel::gui {

/// A label that never asks for more width than a few characters, so the pane it stands in can
/// shrink with the window. A one-line label elides its text where it does not fit (at the right,
/// or in the middle, as suits a file name) and shows the whole text as its tooltip; a wrapping
/// label breaks its lines between words and, inside a word too long for a line, anywhere, so it
/// always shows its whole text. text() is always the whole text.
class FittedLabel : public QLabel {
    Q_OBJECT
  public:
    enum class Fit { elide_right, elide_middle, wrap };
    FittedLabel(Fit fit, QWidget* parent);

    /// Whether the text is shown cut short at the label's present width.
    bool elided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return fit_ == Fit::wrap; }
    int heightForWidth(int width) const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QString shown_line(int width) const;
    // Lays the text out in lines of `width`; returns the height they take.
    int lay_out(QTextLayout& layout, int width) const;

    Fit fit_;
};

}  // namespace brandel::gui
