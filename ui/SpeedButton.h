#pragma once
// A button worked with the mouse only, carrying an integer tag (Button1's countdown counter).

#include <QPushButton>

namespace halvio {

class SpeedButton : public QPushButton {
public:
    explicit SpeedButton(const QString& caption, QWidget* parent = nullptr) : QPushButton(caption, parent) {
        setFocusPolicy(Qt::NoFocus);
        setAutoDefault(false);
    }

    int tag() const { return m_tag; }
    void setTag(int value) { m_tag = value; }

private:
    int m_tag = 0;
};

} // namespace halvio
