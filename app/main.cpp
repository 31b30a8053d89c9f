#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QString::fromUtf8("Vantorix - Mise à jour par internet"));
    window.resize(653, 406);
    window.show();
    return app.exec();
}
