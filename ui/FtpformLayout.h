#pragma once
// Every element of the main window, built on the window the caller gives, in its initial state.
// The window (TFtpform) owns the widgets through Qt's parent chain; the pointers here are its names
// for them.

#include <QSize>

class QCheckBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QTableView;
class QWidget;

namespace halvio {

class Gauge;
class PackageGridModel;
class PackageTable;
class SpeedButton;
class StatusPanels;

class FtpformLayout {
public:
    // Client area at the designed size: outer 653 x 406 less the frame of the window.
    static constexpr QSize kClientSize{645, 373};
    static constexpr QSize kOuterSize{653, 406};
    static constexpr int kHeaderHeight = 40;
    static constexpr int kWorkAreaHeight = 174;
    static constexpr int kStatusBarHeight = 19;
    static constexpr int kStartCountdown = 5; // Button1's tag at first

    // Builds the elements on window (title, size, font, background too) and the grid over tmem,
    // which must outlive the window. Moves the window to the centre of its screen; does not show it.
    FtpformLayout(QWidget& window, PackageTable& tmem);

    // Header
    QFrame* Panel3;
    QFrame* Shape1;
    QLabel* Image1;
    QLabel* Label7;
    QLabel* Label10;

    // Work area
    QFrame* Panel4;
    QPlainTextEdit* Memo2;
    SpeedButton* Button1;
    SpeedButton* SpeedButton1;
    QLabel* Label1;
    Gauge* p1;
    QLabel* Label2;
    Gauge* p2;
    QLabel* clientmaj;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QFrame* Panel5;
    QFrame* Shape2;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label11;

    // Package area
    QWidget* packageArea;
    QTableView* DBGrid2;
    PackageGridModel* gridModel;
    QFrame* Panel1;
    QLabel* Label3;

    // Status bar: panel 0 the connection status, panel 2 the program's year.
    StatusPanels* s1;

private:
    void buildHeader(QWidget& window);
    void buildWorkArea(QWidget& window);
    void buildNotice();
    void buildPackageArea(QWidget& window, PackageTable& tmem);
    // The grid of tmem and the end panel (Panel1) that covers it, both inside packageArea.
    void buildPackageGrid(PackageTable& tmem);
    void buildEndPanel();
    void highlightCurrentRow();
};

} // namespace halvio
