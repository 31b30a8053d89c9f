#include "AppTestSupport.h"

#include "ftp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <cstdlib>

namespace halvio::test {

namespace {
const char* const kProxyVariables[] = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                       "HTTPS_PROXY", "ftp_proxy",  "FTP_PROXY"};
}

ProxyVariables::ProxyVariables(const std::map<std::string, std::string>& values) {
    for (const char* name : kProxyVariables) {
        const char* value = std::getenv(name);
        m_saved[name] = value ? std::optional<std::string>(value) : std::nullopt;
        ::unsetenv(name);
    }
    for (const auto& [name, value] : values)
        ::setenv(name.c_str(), value.c_str(), 1);
}

ProxyVariables::~ProxyVariables() {
    for (const auto& [name, value] : m_saved) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}

std::vector<QString> logLines(const TFtpform& form) {
    std::vector<QString> lines;
    const QTextDocument* document = form.layout.Memo2->document();
    if (document->isEmpty())
        return lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text());
    return lines;
}

ReportDialogCatcher::ReportDialogCatcher() {
    m_poll.setInterval(5);
    QObject::connect(&m_poll, &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box && box->objectName() == "crashreport") {
            reports.push_back({box->text(), box->detailedText()});
            box->button(QMessageBox::Ok)->click();
            return;
        }
        otherDialogs.push_back(modal->objectName());
        modal->close();
    });
    m_poll.start();
}

} // namespace halvio::test
