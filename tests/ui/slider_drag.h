// A slider dragged by its handle with real mouse events: press on the handle, several moves,
// release; one gesture, as a user's drag is.
#pragma once

#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

namespace kc::test {

inline void DragSlider(QSlider* slider, int dx) {
  QStyleOptionSlider option;
  option.initFrom(slider);
  option.orientation = slider->orientation();
  option.minimum = slider->minimum();
  option.maximum = slider->maximum();
  option.sliderPosition = slider->sliderPosition();
  option.sliderValue = slider->value();
  const QPoint grip =
      slider->style()
          ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
          .center();
  QTest::mousePress(slider, Qt::LeftButton, {}, grip);
  for (int step = 1; step <= 5; ++step) QTest::mouseMove(slider, grip + QPoint(dx * step / 5, 0));
  QTest::mouseRelease(slider, Qt::LeftButton, {}, grip + QPoint(dx, 0));
}

}  // namespace kc::test
