#include "app/OrderedHoursChart.h"

#include <QHelpEvent>
#include <QLocale>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace zorvik {
namespace {

constexpr int kBorder = 20;
const QColor kNavy(0, 0, 128);

QFont TextFont() {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(11);
  return f;
}

QFont TitleFont() {
  QFont f = TextFont();
  f.setPixelSize(12);
  f.setBold(true);
  return f;
}

// 1, 2, 2.5 or 5 times a power of ten, at least `raw`.
double NiceStep(double raw) {
  if (!(raw > 0.0) || !std::isfinite(raw)) return 1.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (m * power >= raw * (1 - 1e-12)) return m * power;
  return 10.0 * power;
}

QString TickText(double value) { return QLocale().toString(value, 'g', 6); }

}  // namespace

std::pair<int, int> TBarColumns::Span(int64_t bar, int minWidth) const {
  int first = StartColumn(bar);
  int last = std::max(first + 1, StartColumn(bar + 1));
  if (last - first < minWidth) last = first + minWidth;
  if (last > Width) {
    first = std::max(0, first - (last - Width));
    last = Width;
  }
  return {first, last};
}

int64_t TBarColumns::BarAtColumn(int column, const float* values) const {
  if (Count <= 0 || column < 0 || column >= Width) return -1;
  // The last bar starting at or before the column covers it; when several start in it, the tallest wins.
  int64_t bar = std::min<int64_t>(Count - 1, (static_cast<int64_t>(column) * Count) / Width);
  while (bar + 1 < Count && StartColumn(bar + 1) <= column) ++bar;
  while (bar > 0 && StartColumn(bar) > column) --bar;
  int64_t best = bar;
  for (int64_t i = bar - 1; i >= 0 && StartColumn(i) == column; --i)
    if (values[i] >= values[best]) best = i;
  return best;
}

TOrderedHoursChart::TOrderedHoursChart(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);
  setMinimumSize(200, 150);
}

void TOrderedHoursChart::SetTitle(const QStringList& lines) {
  fTitle = lines;
  update();
}

void TOrderedHoursChart::SetFooter(const QStringList& lines) {
  fFooter = lines;
  update();
}

void TOrderedHoursChart::SetAxesVisible(bool visible) {
  fAxesVisible = visible;
  update();
}

void TOrderedHoursChart::SetBars(std::vector<float> values, int marked) {
  fValues = std::move(values);
  fMarked = marked >= 0 && marked < BarCount() ? marked : -1;
  fMaxValue = 0.0f;
  for (float v : fValues) fMaxValue = std::max(fMaxValue, v);
  update();
}

void TOrderedHoursChart::ClearSeries() { SetBars({}, -1); }

TOrderedHoursChart::TScale TOrderedHoursChart::ValueScale() const {
  TScale scale;
  if (fMaxValue > 0.0f) {
    scale.Step = NiceStep(fMaxValue / 5.0);
    scale.Max = std::ceil(fMaxValue / scale.Step - 1e-9) * scale.Step;
    if (scale.Max <= 0.0) scale.Max = scale.Step;
  }
  return scale;
}

int TOrderedHoursChart::LeftMargin(const QFontMetrics& fm) const {
  const TScale scale = ValueScale();
  int labels = 0;
  for (double v = 0.0; v <= scale.Max * (1 + 1e-9); v += scale.Step)
    labels = std::max(labels, fm.horizontalAdvance(TickText(v)));
  return fm.height() + 6 + labels + 6;
}

QRect TOrderedHoursChart::PlotArea(const QRect& bounds) const {
  const QFontMetrics fm(TextFont());
  const QFontMetrics tfm(TitleFont());
  QRect area = bounds.adjusted(kBorder, kBorder, -kBorder, -kBorder);
  area.setTop(area.top() + static_cast<int>(fTitle.size()) * tfm.height() + fm.height() / 2);
  area.setBottom(area.bottom() - static_cast<int>(fFooter.size()) * fm.height());
  area.setBottom(area.bottom() - (2 * fm.height() + 10));  // tick labels and the axis title
  area.setLeft(area.left() + LeftMargin(fm));
  area.setRight(area.right() - fm.horizontalAdvance(QStringLiteral("00000")) / 2);
  if (area.width() < 1) area.setWidth(1);
  if (area.height() < 1) area.setHeight(1);
  return area;
}

QRect TOrderedHoursChart::MarkedBarRect(const QRect& bounds) const {
  if (fMarked < 0) return {};
  const QRect plot = PlotArea(bounds);
  const TBarColumns columns{BarCount(), plot.width()};
  const auto [first, last] = columns.Span(fMarked, 2);
  const double scaleMax = ValueScale().Max;
  int h = static_cast<int>(std::lround(fValues[static_cast<size_t>(fMarked)] / scaleMax * plot.height()));
  if (fValues[static_cast<size_t>(fMarked)] > 0.0f) h = std::max(h, 2);
  h = std::min(h, plot.height());
  return QRect(plot.left() + first, plot.bottom() + 1 - h, last - first, h);
}

int TOrderedHoursChart::BarAt(const QPoint& pos) const {
  const QRect plot = PlotArea(rect());
  if (fValues.empty() || !plot.contains(pos)) return -1;
  if (QRect marked = MarkedBarRect(); marked.left() <= pos.x() && pos.x() <= marked.right()) return fMarked;
  const TBarColumns columns{BarCount(), plot.width()};
  return static_cast<int>(columns.BarAtColumn(pos.x() - plot.left(), fValues.data()));
}

QString TOrderedHoursChart::BarText(int bar) const {
  if (bar < 0 || bar >= BarCount()) return {};
  return QStringLiteral("Rank %1: %2").arg(bar + 1).arg(QLocale().toString(BarValue(bar), 'g', 7));
}

void TOrderedHoursChart::Paint(QPainter& painter, const QRect& bounds) const {
  painter.save();
  painter.fillRect(bounds, Qt::white);
  const QFont textFont = TextFont();
  const QFont titleFont = TitleFont();
  const QFontMetrics fm(textFont);
  const QFontMetrics tfm(titleFont);
  const QRect inner = bounds.adjusted(kBorder, kBorder, -kBorder, -kBorder);

  painter.setPen(kNavy);
  painter.setFont(titleFont);
  int y = inner.top();
  for (const QString& line : fTitle) {
    painter.drawText(QRect(inner.left(), y, inner.width(), tfm.height()), Qt::AlignHCenter | Qt::AlignVCenter, line);
    y += tfm.height();
  }
  painter.setFont(textFont);
  y = inner.bottom() + 1 - static_cast<int>(fFooter.size()) * fm.height();
  for (const QString& line : fFooter) {
    painter.drawText(QRect(inner.left(), y, inner.width(), fm.height()), Qt::AlignHCenter | Qt::AlignVCenter, line);
    y += fm.height();
  }

  const QRect plot = PlotArea(bounds);
  const TScale scale = ValueScale();
  if (fAxesVisible) {
    painter.setPen(QColor(210, 210, 210));
    for (double v = scale.Step; v <= scale.Max * (1 + 1e-9); v += scale.Step) {
      const int gy = plot.bottom() - static_cast<int>(std::lround(v / scale.Max * (plot.height() - 1)));
      painter.drawLine(plot.left(), gy, plot.right(), gy);
    }
  }

  // The bars: one pass over the values gives each pixel column its tallest bar, one rectangle per column.
  const int64_t count = BarCount();
  if (count > 0) {
    const TBarColumns columns{count, plot.width()};
    std::vector<float> columnMax(static_cast<size_t>(plot.width()), -1.0f);
    for (int64_t i = 0; i < count; ++i) {
      float& m = columnMax[static_cast<size_t>(columns.StartColumn(i))];
      m = std::max(m, fValues[static_cast<size_t>(i)]);
    }
    const bool gaps = plot.width() >= 4 * count;  // wide bars keep a pixel between them
    std::vector<QRect> rects;
    rects.reserve(columnMax.size());
    int c = 0;
    while (c < plot.width()) {
      int next = c + 1;
      while (next < plot.width() && columnMax[static_cast<size_t>(next)] < 0.0f) ++next;
      const float v = columnMax[static_cast<size_t>(c)];
      if (v > 0.0f) {
        const int h = std::min(plot.height(), static_cast<int>(std::lround(v / scale.Max * plot.height())));
        if (h > 0) rects.emplace_back(plot.left() + c, plot.bottom() + 1 - h, next - c - (gaps ? 1 : 0), h);
      }
      c = next;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(BarColorNormal());
    painter.drawRects(rects.data(), static_cast<int>(rects.size()));
    if (const QRect marked = MarkedBarRect(bounds); !marked.isEmpty()) painter.fillRect(marked, MarkedColor());
  }

  if (fAxesVisible) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    painter.drawLine(plot.bottomLeft() + QPoint(0, 1), plot.bottomRight() + QPoint(1, 1));
    painter.drawLine(plot.topLeft() - QPoint(1, 0), plot.bottomLeft() + QPoint(-1, 1));
    // Value ticks.
    for (double v = 0.0; v <= scale.Max * (1 + 1e-9); v += scale.Step) {
      const int ty = plot.bottom() - static_cast<int>(std::lround(v / scale.Max * (plot.height() - 1)));
      painter.drawLine(plot.left() - 5, ty, plot.left() - 1, ty);
      const QString text = TickText(std::abs(v) < scale.Step * 1e-9 ? 0.0 : v);
      painter.drawText(QRect(bounds.left(), ty - fm.height() / 2, plot.left() - 7 - bounds.left(), fm.height()),
                       Qt::AlignRight | Qt::AlignVCenter, text);
    }
    // Hour ticks: about one label per 60 pixels.
    const int64_t bars = std::max<int64_t>(1, count);
    const double step = NiceStep(static_cast<double>(bars) * 60.0 / std::max(1, plot.width()));
    for (double h = 0.0; h <= static_cast<double>(bars) + 1e-9; h += step) {
      const int tx = plot.left() + static_cast<int>(std::lround(h / static_cast<double>(bars) * plot.width()));
      painter.drawLine(tx, plot.bottom() + 2, tx, plot.bottom() + 5);
      painter.drawText(QRect(tx - 40, plot.bottom() + 6, 80, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                       QLocale().toString(static_cast<qlonglong>(std::llround(h))));
    }
    painter.setPen(kNavy);
    painter.drawText(QRect(plot.left(), plot.bottom() + 8 + fm.height(), plot.width(), fm.height()),
                     Qt::AlignHCenter | Qt::AlignTop, fBottomTitle);
    painter.save();
    painter.translate(inner.left(), plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-plot.height() / 2, 0, plot.height(), fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                     fLeftTitle);
    painter.restore();
  }
  painter.restore();
}

QImage TOrderedHoursChart::Picture(const QSize& size) const {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  Paint(painter, QRect(QPoint(0, 0), size));
  return image;
}

void TOrderedHoursChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter, rect());
}

bool TOrderedHoursChart::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = BarText(BarAt(help->pos()));
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
  }
  return QWidget::event(event);
}

}  // namespace zorvik
