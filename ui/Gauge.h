#pragma once
// The gauges p1 and p2: a horizontal bar, black on white, with the whole percentage in its middle.

#include <QWidget>

#include <cstdint>

namespace halvio {

class Gauge : public QWidget {
    Q_OBJECT

public:
    explicit Gauge(QWidget* parent = nullptr);

    std::int32_t minimum() const { return m_minimum; }
    std::int32_t maximum() const { return m_maximum; }
    // The stored progress, always within [minimum, maximum].
    std::int32_t progress() const { return m_progress; }

    // A bound that would cross the other one is refused (std::out_of_range); moving a bound past the
    // progress brings the progress along, as a progress set outside the range is held at the bound.
    void setMinimum(std::int32_t value);
    void setMaximum(std::int32_t value);
    void setProgress(std::int32_t value);

    // (progress - minimum) * 100 / (maximum - minimum), fraction dropped; 0 when the range is empty.
    int percentDone() const;
    // What the gauge writes in its middle: the percentage followed by "%".
    QString shownText() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        int percent;
        int fill;
        bool operator==(const Look&) const = default;
    };
    Look look() const;
    int fillWidth() const;
    // Repaints only when the percentage or the filled width moved: setProgress runs for every
    // piece of a download and must stay cheap.
    void updateIfChanged(const Look& before);

    std::int32_t m_minimum = 0;
    std::int32_t m_maximum = 100;
    std::int32_t m_progress = 0;
};

} // namespace halvio
