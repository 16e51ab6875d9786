#pragma once
// The viewer's bar chart of one receptor's ordered hours: title lines, axes, blue bars, the bar at the
// percentile in red, and a footer. Tens of thousands of bars draw as fast as a few: every pixel column of the
// plot draws one rectangle, the tallest of the bars that fall in it; the marked bar is drawn over them at
// least two pixels wide, so it stays visible at any bar count.
#include <QColor>
#include <QImage>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <vector>

class QPainter;

namespace zorvik {

// Where bars fall in a plot `width` pixels wide: bar i starts at column i * width / count (integer), so a bar
// is several columns wide when bars are few and many bars share a column when they are many.
struct TBarColumns {
  int64_t Count = 0;
  int Width = 0;
  int StartColumn(int64_t bar) const { return Count > 0 ? static_cast<int>(bar * Width / Count) : 0; }
  // The columns [first, last) the bar covers; at least one, and at least `minWidth` (kept inside the plot).
  std::pair<int, int> Span(int64_t bar, int minWidth = 1) const;
  // The bar drawn in `column`: the tallest of those starting in it, else the one covering it; -1 outside.
  int64_t BarAtColumn(int column, const float* values) const;
};

class TOrderedHoursChart : public QWidget {
  Q_OBJECT
 public:
  explicit TOrderedHoursChart(QWidget* parent = nullptr);

  void SetTitle(const QStringList& lines);
  const QStringList& Title() const { return fTitle; }
  void SetFooter(const QStringList& lines);
  const QStringList& Footer() const { return fFooter; }
  void SetAxesVisible(bool visible);
  bool AxesVisible() const { return fAxesVisible; }
  void SetBottomAxisTitle(const QString& text) { fBottomTitle = text; update(); }
  void SetLeftAxisTitle(const QString& text) { fLeftTitle = text; update(); }
  const QString& BottomAxisTitle() const { return fBottomTitle; }
  const QString& LeftAxisTitle() const { return fLeftTitle; }

  // The series: bar i has height values[i]; the bar `marked` is red (-1 or a bar past the end: none).
  void SetBars(std::vector<float> values, int marked);
  void ClearSeries();
  int BarCount() const { return static_cast<int>(fValues.size()); }
  float BarValue(int i) const { return fValues.at(static_cast<size_t>(i)); }
  int MarkedBar() const { return fMarked; }
  QColor BarColor(int i) const { return i == fMarked ? MarkedColor() : BarColorNormal(); }
  static QColor BarColorNormal() { return QColor(0, 0, 255); }
  static QColor MarkedColor() { return QColor(255, 0, 0); }

  // Layout on a surface of `bounds`: the plot rectangle and the marked bar's rectangle in it (empty: none).
  QRect PlotArea(const QRect& bounds) const;
  QRect MarkedBarRect(const QRect& bounds) const;
  QRect MarkedBarRect() const { return MarkedBarRect(rect()); }
  // The bar under a point of the widget, -1 when none.
  int BarAt(const QPoint& pos) const;
  // "Rank 176: 3.5" for the bar, as the tooltip shows it.
  QString BarText(int bar) const;

  // Draws the whole chart on any surface (screen, picture, PDF, printer).
  void Paint(QPainter& painter, const QRect& bounds) const;
  QImage Picture(const QSize& size) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct TScale {
    double Max = 1.0;
    double Step = 0.2;
  };
  TScale ValueScale() const;
  int LeftMargin(const QFontMetrics& fm) const;

  QStringList fTitle;
  QStringList fFooter;
  QString fBottomTitle;
  QString fLeftTitle;
  bool fAxesVisible = false;
  std::vector<float> fValues;
  float fMaxValue = 0.0f;
  int fMarked = -1;
};

}  // namespace zorvik
