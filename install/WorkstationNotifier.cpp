#include "WorkstationNotifier.h"

#include "ByteBuffer.h"
#include "Fonction.h"
#include "HttpClient.h"
#include "Model.h"

namespace halvio {

platform::HttpClient::Options notificationClientOptions() {
    platform::HttpClient::Options options;
    options.followRedirects = false;
    options.connectTimeLimit = kNotificationTimeLimit;
    options.totalTimeLimit = kNotificationTimeLimit;
    return options;
}

std::string workstationAddress(std::string_view ip, std::string_view port) {
    return "http://" + Trimmed(ip) + ":" + Trimmed(port) + "/MAJ";
}

void notifyWorkstations(Model& model, platform::HttpClient& httplocal) {
    model.EnsureTransaction();
    model.IBSQL1.close();
    model.ExecSql("Select * from ordinateur ");
    while (!model.IBSQL1.eof()) {
        try {
            platform::ByteBuffer reply;
            httplocal.get(workstationAddress(model.IBSQL1.text("ip"), model.IBSQL1.text("port")), reply);
        } catch (const std::exception&) {
            // A workstation that is off fetches the program when it next starts Halvio.
        }
        model.IBSQL1.next();
    }
    model.IBTransaction1.commit();
}

} // namespace halvio
