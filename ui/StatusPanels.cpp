#include "StatusPanels.h"

#include <QLabel>

namespace halvio {

StatusPanels::StatusPanels(int panelCount, int panelWidth, QWidget* parent) : QStatusBar(parent) {
    for (int i = 0; i < panelCount; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("panel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setFixedWidth(panelWidth);
        label->setTextFormat(Qt::PlainText);
        addWidget(label);
        m_panels.push_back(label);
    }
}

QString StatusPanels::panelText(int index) const {
    return panel(index)->text();
}

void StatusPanels::setPanelText(int index, const QString& text) {
    panel(index)->setText(text);
}

} // namespace halvio
