#pragma once
// Reduces a series to what a plot of a given width can show: for each pixel
// column the lowest and the highest point that fall into it, in x order. A
// redraw then costs the plot's width, not the length of the log, and the
// line still reaches every extreme value.
#include <QPointF>

#include <vector>

namespace zt {

class ColumnDecimator {
 public:
  // The x range the plot shows and its width in pixel columns. Clears the points.
  void setFrame(double x0, double x1, int columns);
  double x0() const { return x0_; }
  double x1() const { return x1_; }
  int columns() const { return static_cast<int>(columns_.size()); }
  // No points; the frame stays.
  void clear();

  // Adds a point. Returns the index of the first output point that changed
  // (those from it to the end are new or different), or -1 when x lies
  // outside the frame and nothing changed. A point in the last column used
  // or after it costs O(1); one before it O(columns).
  int add(double x, double y);

  // The reduced series: one or two points per column that holds points.
  const std::vector<QPointF>& points() const { return out_; }
  // Points taken in, and whether any fell outside the frame since the last setFrame/clear.
  long long taken() const { return taken_; }
  bool missed() const { return missed_; }

 private:
  struct Column {
    int n = 0;
    QPointF lo, hi;  // the lowest and the highest point
  };
  int columnOf(double x) const;
  int output(const Column& c, std::vector<QPointF>& out) const;
  void rebuildFrom(int col, int& firstChanged);

  double x0_ = 0, x1_ = 1;
  std::vector<Column> columns_;
  std::vector<QPointF> out_;
  int lastCol_ = -1;   // the highest column holding points
  int tailStart_ = 0;  // where its points start in out_
  long long taken_ = 0;
  bool missed_ = false;
};

}  // namespace zt
