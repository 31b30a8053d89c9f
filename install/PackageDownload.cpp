#include "PackageDownload.h"

#include "FileReplacement.h"
#include "HostFallback.h"
#include "HttpClient.h"
#include "Model.h"
#include "PackageNames.h"
#include "PackageVerification.h"
#include "RunContext.h"
#include "RunView.h"
#include "ServiceHosts.h"
#include "Windows1252.h"

#include <exception>
#include <string_view>

namespace halvio {

std::vector<std::string> packageHosts(bool directConnection) {
    if (directConnection)
        return {hosts::kOfficeServer, hosts::kInternalAddress};
    return {hosts::kPublicWebHost};
}

namespace {

// A write to the package file that fails is the disk's fault, not the host's.
template <typename Write> void writing(Write&& write) {
    try {
        write();
    } catch (const platform::SystemError& error) {
        throw PackageFileNotWritten{error};
    }
}

} // namespace

void downloadPackage(RunContext& run, const std::string& fileName, platform::FileReplacement& file,
                     PackageFileDigest& digest) {
    const bool directConnection = run.view.isChecked(CheckBoxId::DirectConnection);
    const auto attempt = [&](const std::string& host) {
        // What a host that failed had sent is dropped.
        writing([&] { file.restart(); });
        digest.restart();
        run.http.get(packageAddress(host, fileName), [&](std::string_view piece) {
            writing([&] { file.append(piece); });
            digest.add(piece);
        });
    };
    const std::exception_ptr failure = tryEachHost<std::string>(
        packageHosts(directConnection), attempt, [&](const HostFailure<std::string>& failed) {
            // The public web host is the only host without the direct connection: its failure
            // is the package's own, told by the transfer.
            if (!directConnection)
                return AfterFailure::GiveUp;
            run.model.log(fr("impossible de recupérer de ") + failed.host);
            if (failed.last)
                run.view.showPlainMessage(
                    fr("impossible de récupérer le fichier!\r\nDésactiver votre antivirus."));
            return AfterFailure::TryNextHost;
        });
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace halvio
