#pragma once
// The status bar s1: fixed-width text panels side by side.

#include <QStatusBar>

#include <vector>

class QLabel;

namespace halvio {

class StatusPanels : public QStatusBar {
    Q_OBJECT

public:
    StatusPanels(int panelCount, int panelWidth, QWidget* parent = nullptr);

    int panelCount() const { return static_cast<int>(m_panels.size()); }
    QLabel* panel(int index) const { return m_panels.at(static_cast<size_t>(index)); }
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);

private:
    std::vector<QLabel*> m_panels;
};

} // namespace halvio
