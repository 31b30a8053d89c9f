#include "PackageDownload.h"

#include "ByteBuffer.h"
#include "HttpClient.h"
#include "Model.h"
#include "PackageNames.h"
#include "RunContext.h"
#include "RunView.h"
#include "ServiceHosts.h"
#include "Windows1252.h"

#include <exception>

namespace halvio {

std::vector<std::string> packageHosts(bool directConnection) {
    if (directConnection)
        return {hosts::kOfficeServer, hosts::kInternalAddress};
    return {hosts::kPublicWebHost};
}

void downloadPackage(RunContext& run, const std::string& fileName, platform::ByteBuffer& buffer) {
    const bool directConnection = run.view.isChecked(CheckBoxId::DirectConnection);
    const std::vector<std::string> hosts = packageHosts(directConnection);
    for (size_t i = 0; i < hosts.size(); ++i) {
        try {
            run.http.get(packageAddress(hosts[i], fileName), buffer);
            return;
        } catch (const std::exception&) {
            if (!directConnection)
                throw;
            run.model.log(fr("impossible de recupérer de ") + hosts[i]);
            if (i + 1 == hosts.size()) {
                run.view.showPlainMessage(
                    fr("impossible de récupérer le fichier!\r\nDésactiver votre antivirus."));
                throw;
            }
        }
    }
}

} // namespace halvio
