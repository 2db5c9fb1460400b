// Settings' widget bindings: kept in their own target so model and cti never link Widgets.
#include "settings.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

void Settings::bindCheckBoxToSetting(QCheckBox *box)
{
    connect(box, &QCheckBox::toggled, this, [this, box](bool on) { storeOption(box->objectName(), on); });
}

void Settings::bindSpinBoxToSetting(QSpinBox *box)
{
    connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this,
            [this, box](int value) { storeOption(box->objectName(), value); });
}

void Settings::bindSliderToSetting(QSlider *slider)
{
    connect(slider, &QSlider::valueChanged, this,
            [this, slider](int value) { storeOption(slider->objectName(), value); });
}

void Settings::bindRadioButtonToSetting(QRadioButton *button)
{
    connect(button, &QRadioButton::toggled, this,
            [this, button](bool checked) { storeRadioButton(button->objectName(), checked); });
}
