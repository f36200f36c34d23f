// Points, sizes and boxes of the printer canvas, in device units with the
// origin at the bottom left and y growing upwards.
#pragma once

namespace print {

struct Point {
  int X = 0;
  int Y = 0;
  Point() = default;
  Point(int x, int y) : X(x), Y(y) {}
  bool operator==(const Point&) const = default;
};

struct Dimension {
  int Width = 0;
  int Height = 0;
  Dimension() = default;
  Dimension(int w, int h) : Width(w), Height(h) {}
  bool operator==(const Dimension&) const = default;
};

struct BoundingBox {
  Point Origin;   // bottom left
  Dimension Extent;
  BoundingBox() = default;
  BoundingBox(Point origin, Dimension extent) : Origin(origin), Extent(extent) {}
  int Left() const { return Origin.X; }
  int Bottom() const { return Origin.Y; }
  int Right() const { return Origin.X + Extent.Width; }
  int Top() const { return Origin.Y + Extent.Height; }
  int Width() const { return Extent.Width; }
  int Height() const { return Extent.Height; }
  bool operator==(const BoundingBox&) const = default;
};

}  // namespace print
