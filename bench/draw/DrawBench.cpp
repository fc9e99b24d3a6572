// What a toolbar button's drawing costs on surfaces of device pixel ratio 1, 1.5 and 2 (the
// argument is the ratio in tenths): the ground, the cut-corner highlight, the picture drawn
// transparently and the caption. Run offscreen: QT_QPA_PLATFORM=offscreen bench_draw.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include "gfx/ascPaintEffects.h"
#include "gfx/basGDI.h"
#include "platform/Gdi.h"
#include "platform/Picture.h"

namespace p = quillane::platform;
namespace g = quillane::gfx;

namespace {

p::Picture Picture24() {
  QImage img(24, 24, QImage::Format_RGB32);
  img.fill(qRgb(255, 0, 255));
  for (int y = 3; y < 21; ++y)
    for (int x = 4; x < 20; ++x)
      img.setPixel(x, y, (x + y) % 5 ? qRgb(40, 120, 60) : qRgb(0, 0, 0));
  QImage fine = img.scaled(48, 48);
  fine.setDevicePixelRatio(2);
  return p::Picture::FromBitmaps(p::CreateBitmapFromImage(img), p::CreateBitmapFromImage(fine));
}

void BM_ButtonDrawing(benchmark::State& state) {
  const double ratio = static_cast<double>(state.range(0)) / 10.0;
  const p::HDC dc = p::CreateCompatibleDC(0);
  const p::HDC screen = p::GetDC(0);
  const p::HBITMAP bmp = p::CreateCompatibleBitmap(screen, 80, 60);
  p::ReleaseDC(0, screen);
  p::SetBitmapRatio(bmp, ratio);
  const p::HGDIOBJ old = p::SelectObject(dc, bmp);
  const p::Picture picture = Picture24();
  g::ascPaintEffects effects;
  const p::HBRUSH face = p::CreateSolidBrush(0xF0F0F0), light = p::CreateSolidBrush(0xF0F0F0);
  std::vector<p::POINT> corners;
  g::RoundRectPoints(corners, 2, 2, 70, 54);
  for (auto _ : state) {
    const p::RECT all{0, 0, 80, 60};
    p::FillRect(dc, &all, face);
    const p::HGDIOBJ oldBrush = p::SelectObject(dc, light);
    p::Polygon(dc, corners.data(), static_cast<int>(corners.size()));
    p::SelectObject(dc, oldBrush);
    effects.PaintTransparentPicture(dc, picture, 24, 6, 24, 24, 0, 0, 0xFF00FF);
    p::SetBkMode(dc, p::TRANSPARENT);
    p::TextOut(dc, 20, 36, "Convert");
    benchmark::DoNotOptimize(p::GetPixel(dc, 30, 30));
  }
  p::DeleteObject(face);
  p::DeleteObject(light);
  p::SelectObject(dc, old);
  p::DeleteObject(bmp);
  p::DeleteDC(dc);
}
BENCHMARK(BM_ButtonDrawing)->Arg(10)->Arg(15)->Arg(20)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
