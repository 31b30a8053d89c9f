#include "Gauge.h"

#include <QPainter>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace halvio {

namespace {
constexpr int kBorder = 1;

// The range and the offset in 64 bits: a 32-bit range may span more than 2^31.
std::int64_t span(std::int32_t from, std::int32_t to) {
    return static_cast<std::int64_t>(to) - from;
}
} // namespace

Gauge::Gauge(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Gauge::setMinimum(std::int32_t value) {
    if (value == m_minimum)
        return;
    if (value > m_maximum)
        throw std::out_of_range("Gauge: minimum " + std::to_string(value) + " above the maximum " +
                                std::to_string(m_maximum));
    const Look before = look();
    m_minimum = value;
    m_progress = std::max(m_progress, m_minimum);
    updateIfChanged(before);
}

void Gauge::setMaximum(std::int32_t value) {
    if (value == m_maximum)
        return;
    if (value < m_minimum)
        throw std::out_of_range("Gauge: maximum " + std::to_string(value) + " below the minimum " +
                                std::to_string(m_minimum));
    const Look before = look();
    m_maximum = value;
    m_progress = std::min(m_progress, m_maximum);
    updateIfChanged(before);
}

void Gauge::setProgress(std::int32_t value) {
    const std::int32_t bounded = std::clamp(value, m_minimum, m_maximum);
    if (bounded == m_progress)
        return;
    const Look before = look();
    m_progress = bounded;
    updateIfChanged(before);
}

int Gauge::percentDone() const {
    const std::int64_t range = span(m_minimum, m_maximum);
    if (range == 0)
        return 0;
    return static_cast<int>(span(m_minimum, m_progress) * 100 / range);
}

QString Gauge::shownText() const {
    return QString::number(percentDone()) + QLatin1Char('%');
}

int Gauge::fillWidth() const {
    const std::int64_t range = span(m_minimum, m_maximum);
    const int inner = std::max(0, width() - 2 * kBorder);
    if (range == 0)
        return 0;
    return static_cast<int>(span(m_minimum, m_progress) * inner / range);
}

Gauge::Look Gauge::look() const {
    return {percentDone(), fillWidth()};
}

void Gauge::updateIfChanged(const Look& before) {
    if (look() != before)
        update();
}

QSize Gauge::sizeHint() const {
    return {176, 19};
}

void Gauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect outer = rect();
    const QRect inner = outer.adjusted(kBorder, kBorder, -kBorder, -kBorder);
    painter.fillRect(outer, Qt::black);
    painter.fillRect(inner, Qt::white);
    const QRect filled(inner.left(), inner.top(), fillWidth(), inner.height());
    painter.fillRect(filled, Qt::black);

    // The text reads black over the empty part and white over the filled part.
    const QString text = shownText();
    painter.setFont(font());
    painter.setClipRect(inner);
    painter.setPen(Qt::black);
    painter.drawText(inner, Qt::AlignCenter, text);
    painter.setClipRect(filled);
    painter.setPen(Qt::white);
    painter.drawText(inner, Qt::AlignCenter, text);
}

} // namespace halvio
