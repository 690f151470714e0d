#pragma once
// The Slide Show page of the Options dialog: the delay between pictures, chosen on a slider of
// twenty steps or typed in milliseconds (each follows the other, and a label names the step),
// the order (forward, reverse, random) and whether the show wraps around. Confirm() copies them
// into the record and saves it; a delay above one hour is stored as one hour, other text as
// typed. UI thread only; the record must outlive the page.

#include <QWidget>

class CAppSettings;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

class COptionsSlideShowPage : public QWidget {
    Q_OBJECT
public:
    explicit COptionsSlideShowPage(CAppSettings& options, QWidget* parent = nullptr);

    void Confirm();

private:
    void delayTyped(const QString& text);
    void sliderMoved(int position);

    CAppSettings& m_options;
    QSlider* m_slider;
    QLineEdit* m_delay;
    QLabel* m_delayName;
    QList<QRadioButton*> m_order; // forward, reverse, random: the values of Select
    QCheckBox* m_around;
};
