#include "ServiceConversation.h"

#include "ByteBuffer.h"
#include "Fonction.h"
#include "HostFallback.h"
#include "HttpClient.h"
#include "Model.h"
#include "ReplyAuthenticity.h"
#include "RunContext.h"
#include "RunView.h"
#include "ServiceAddress.h"
#include "ServiceHosts.h"
#include "Windows1252.h"

namespace halvio {

std::vector<ReportEndpoint> reportEndpoints() {
    const std::string attempt = fr("Tentative de connection à ");
    const std::string vendor = std::string(hosts::kVendorShortName) + " ";
    return {
        {hosts::kOfficeServer, attempt + hosts::kOfficeServer + " "},
        {hosts::kInternalAddress, attempt + vendor + hosts::kInternalAddress},
        {hosts::kSecondPublicAddress, attempt + vendor + hosts::kSecondPublicAddress},
    };
}

std::string reportAddress(std::string_view host, std::string_view client) {
    return serviceAddress(host) + "/" + Trimmed(client) + ".maj";
}

std::string proxyCaptionSuffix(std::string_view proxyHost, std::int32_t proxyPort) {
    return "  proxy:" + std::string(proxyHost) + ":" + std::to_string(proxyPort);
}

std::string unreachableServiceText() {
    return fr("Impossible de communiquer avec Vantorix !") + "\r" +
           fr(" Vérifier votre connection internet et réssayer plus tard!");
}

ServiceOutcome exchangeWithService(RunContext& ctx, std::string_view client, std::string_view body,
                                   platform::ByteBuffer& reply, ReplyCredentials& credentials) {
    RunView& view = ctx.view;
    view.setCaption(view.caption() + proxyCaptionSuffix(ctx.http.proxyHost(), ctx.http.proxyPort()));

    std::string lastError;
    const std::exception_ptr failure = tryEachHost<ReportEndpoint>(
        reportEndpoints(),
        [&](const ReportEndpoint& endpoint) {
            ctx.model.log(endpoint.logLine);
            reply.clear();
            if (credentials.isSigned())
                ctx.http.post(reportAddress(endpoint.host, client), body, reply,
                              freshNonceHeaders(credentials), credentials.headers);
            else
                ctx.http.post(reportAddress(endpoint.host, client), body, reply);
        },
        [&](const HostFailure<ReportEndpoint>& failed) {
            // Whatever ends an attempt passes on to the next endpoint.
            lastError = failed.error.what();
            return AfterFailure::TryNextHost;
        });
    if (!failure)
        return ServiceOutcome::Answered;
    reply.clear();

    if (!view.isChecked(CheckBoxId::NoProxy)) {
        // A proxy that lets nothing through is the usual cause: the whole run once more without it.
        ctx.model.log(fr("Désactivation du proxy"));
        view.setChecked(CheckBoxId::NoProxy, true);
        return ServiceOutcome::RepeatWithoutProxy;
    }
    view.showInformation(unreachableServiceText(), lastError);
    view.closeWindow();
    return ServiceOutcome::Unreachable;
}

} // namespace halvio
