#include "plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "bipedkin/host.hpp"
#include "open.hpp"

namespace bipedkin::cli {
namespace {

const char* const sites[] = {"mount", "hip_abduction", "hip_rotation", "hip_flexion", "knee",
                             "shin",  "ankle",         "toe",          "toe_sole"};

std::vector<Point> chain(const StateValues& x, const std::filesystem::path& dir, char side) {
  const host::Array input = host::make_double({model::state_size, 1}, x);
  const mxArray* inputs[] = {input.get()};
  std::vector<Point> points = {{x[0], x[1], x[2]}};
  for (const char* site : sites) {
    const std::string name = std::string("pos_") + site + "_" + side;
    const host::Library library = open_deliverable(name, dir);
    const host::CallResult r = library.call(1, inputs);
    if (r.error) throw std::runtime_error(name + " refused the state: " + r.error->what());
    const std::vector<double> p = host::values(r.outputs.at(0).get());
    points.push_back({p.at(0), p.at(1), p.at(2)});
  }
  return points;
}

std::string fmt(const char* format, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::string escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
    }
  }
  return out;
}

bool finite(const Point& p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

// A tick spacing of 1, 2 or 5 times a power of ten giving about eight ticks.
double tick_step(double range) {
  const double raw = range / 8.0;
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0}) {
    if (m * decade >= raw) return m * decade;
  }
  return 10.0 * decade;
}

struct Range {
  double lo = 0, hi = 0;
};

struct Panel {
  const char* title;
  const char* id;
  int horizontal;  // coordinate index drawn left to right
  char axis_name;
  double left_px, top_px, width_px, height_px;
  Range h;
};

constexpr const char* left_colour = "#1f5fbf";
constexpr const char* right_colour = "#d0402b";

}  // namespace

Legs leg_points(const StateValues& x, const std::filesystem::path& deliverables) {
  return {chain(x, deliverables, 'l'), chain(x, deliverables, 'r')};
}

std::string pose_svg(const Legs& legs, const std::string& state_name) {
  std::vector<Point> all;
  for (const auto* leg : {&legs.left, &legs.right})
    for (const Point& p : *leg)
      if (finite(p)) all.push_back(p);
  const std::size_t hidden = legs.left.size() + legs.right.size() - all.size();
  if (all.empty()) all.push_back({0, 0, 0});

  auto range_of = [&](int i) {
    Range r{all[0][i], all[0][i]};
    for (const Point& p : all) {
      r.lo = std::min(r.lo, p[i]);
      r.hi = std::max(r.hi, p[i]);
    }
    return r;
  };
  Range z = range_of(2);
  Panel panels[] = {{"front view (y-z), seen from +x", "front", 1, 'y', 70, 60, 340, 460, range_of(1)},
                    {"side view (x-z), seen from -y", "side", 0, 'x', 500, 60, 340, 460, range_of(0)}};
  // One scale for both views and both directions, so lengths compare.
  double span = z.hi - z.lo;
  for (const Panel& p : panels) span = std::max(span, (p.h.hi - p.h.lo) * 460.0 / 340.0);
  span = std::max(span, 0.2) * 1.1;
  const double scale = 460.0 / span;
  auto centre = [&](Range& r, double px) {
    const double mid = 0.5 * (r.lo + r.hi), half = 0.5 * px / scale;
    r = {mid - half, mid + half};
  };
  centre(z, 460.0);
  for (Panel& p : panels) centre(p.h, 340.0);

  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"900\" height=\"600\" viewBox=\"0 0 900 600\" "
      "font-family=\"sans-serif\" font-size=\"12\">\n"
      "<title>bipedkin: both legs at " + escape(state_name) + "</title>\n"
      "<rect width=\"900\" height=\"600\" fill=\"white\"/>\n";
  const double step = tick_step(span);
  for (Panel& p : panels) {
    auto X = [&](double v) { return p.left_px + (v - p.h.lo) * scale; };
    auto Y = [&](double v) { return p.top_px + (z.hi - v) * scale; };
    svg += "<g id=\"" + std::string(p.id) + "\">\n";
    svg += "<text x=\"" + fmt("%.1f", p.left_px + p.width_px / 2) + "\" y=\"" + fmt("%.1f", p.top_px - 14) +
           "\" text-anchor=\"middle\" font-size=\"14\">" + p.title + "</text>\n";
    for (double v = std::ceil(p.h.lo / step) * step; v <= p.h.hi; v += step) {
      svg += "<line x1=\"" + fmt("%.2f", X(v)) + "\" y1=\"" + fmt("%.2f", p.top_px) + "\" x2=\"" + fmt("%.2f", X(v)) +
             "\" y2=\"" + fmt("%.2f", p.top_px + p.height_px) + "\" stroke=\"#e4e4e4\"/>\n";
      svg += "<text x=\"" + fmt("%.2f", X(v)) + "\" y=\"" + fmt("%.2f", p.top_px + p.height_px + 16) +
             "\" text-anchor=\"middle\">" + fmt("%.3g", std::abs(v) < step / 2 ? 0.0 : v) + "</text>\n";
    }
    for (double v = std::ceil(z.lo / step) * step; v <= z.hi; v += step) {
      svg += "<line x1=\"" + fmt("%.2f", p.left_px) + "\" y1=\"" + fmt("%.2f", Y(v)) + "\" x2=\"" +
             fmt("%.2f", p.left_px + p.width_px) + "\" y2=\"" + fmt("%.2f", Y(v)) + "\" stroke=\"#e4e4e4\"/>\n";
      svg += "<text x=\"" + fmt("%.2f", p.left_px - 6) + "\" y=\"" + fmt("%.2f", Y(v) + 4) +
             "\" text-anchor=\"end\">" + fmt("%.3g", std::abs(v) < step / 2 ? 0.0 : v) + "</text>\n";
    }
    svg += "<rect x=\"" + fmt("%.1f", p.left_px) + "\" y=\"" + fmt("%.1f", p.top_px) + "\" width=\"" +
           fmt("%.1f", p.width_px) + "\" height=\"" + fmt("%.1f", p.height_px) +
           "\" fill=\"none\" stroke=\"#888\"/>\n";
    svg += "<text x=\"" + fmt("%.1f", p.left_px + p.width_px / 2) + "\" y=\"" +
           fmt("%.1f", p.top_px + p.height_px + 34) + "\" text-anchor=\"middle\">" + p.axis_name +
           " [model length unit]</text>\n";
    svg += "<text transform=\"translate(" + fmt("%.1f", p.left_px - 48) + "," +
           fmt("%.1f", p.top_px + p.height_px / 2) + ") rotate(-90)\" text-anchor=\"middle\">z [model length unit]</text>\n";
    for (const auto& [leg, colour, side] :
         {std::tuple{&legs.left, left_colour, "left"}, std::tuple{&legs.right, right_colour, "right"}}) {
      std::string points;
      std::string marks;
      for (std::size_t i = 0; i < leg->size(); ++i) {
        const Point& q = (*leg)[i];
        if (!finite(q)) continue;
        const std::string xy = fmt("%.2f", X(q[p.horizontal])) + "," + fmt("%.2f", Y(q[2]));
        points += (points.empty() ? "" : " ") + xy;
        // The base origin, where both chains start, is marked once below.
        if (i > 0) {
          marks += "<circle cx=\"" + fmt("%.2f", X(q[p.horizontal])) + "\" cy=\"" + fmt("%.2f", Y(q[2])) +
                   "\" r=\"3.5\" fill=\"" + colour + "\"/>\n";
        }
      }
      svg += "<polyline class=\"leg " + std::string(side) + "\" points=\"" + points + "\" fill=\"none\" stroke=\"" +
             colour + "\" stroke-width=\"2.5\" stroke-linejoin=\"round\"/>\n" + marks;
    }
    if (finite(legs.left.front())) {
      const Point& b = legs.left.front();
      svg += "<rect x=\"" + fmt("%.2f", X(b[p.horizontal]) - 4.5) + "\" y=\"" + fmt("%.2f", Y(b[2]) - 4.5) +
             "\" width=\"9\" height=\"9\" fill=\"#222\"><title>base origin</title></rect>\n";
    }
    svg += "</g>\n";
  }
  std::string caption = "state: " + escape(state_name);
  if (hidden > 0) caption += " (" + std::to_string(hidden) + " points not finite, not drawn)";
  svg += "<text x=\"450\" y=\"585\" text-anchor=\"middle\" font-size=\"13\">" + caption + "</text>\n";
  svg += "<rect x=\"625\" y=\"15.5\" width=\"9\" height=\"9\" fill=\"#222\"/><text x=\"640\" y=\"24\">base</text>\n";
  svg += "<circle cx=\"720\" cy=\"20\" r=\"5\" fill=\"" + std::string(left_colour) +
         "\"/><text x=\"730\" y=\"24\">left leg</text>\n";
  svg += "<circle cx=\"800\" cy=\"20\" r=\"5\" fill=\"" + std::string(right_colour) +
         "\"/><text x=\"810\" y=\"24\">right leg</text>\n";
  svg += "</svg>\n";
  return svg;
}

}  // namespace bipedkin::cli
