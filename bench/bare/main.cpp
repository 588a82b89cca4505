// The engine's floor: a maximised window that is only a QWebEngineView showing the address given.
#include <QApplication>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2) {
        std::fputs("usage: bench-bare URL\n", stderr);
        return 2;
    }
    QWebEngineView view;
    view.load(QUrl(args[1]));
    view.showMaximized();
    return QApplication::exec();
}
