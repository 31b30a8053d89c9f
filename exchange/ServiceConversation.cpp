#include "ServiceConversation.h"

#include "ByteBuffer.h"
#include "Fonction.h"
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

bool exchangeWithService(RunContext& ctx, std::string_view client, std::string_view body,
                         platform::ByteBuffer& reply, ReplyCredentials& credentials) {
    RunView& view = ctx.view;
    view.setCaption(view.caption() + proxyCaptionSuffix(ctx.http.proxyHost(), ctx.http.proxyPort()));

    std::string lastError;
    for (const ReportEndpoint& endpoint : reportEndpoints()) {
        ctx.model.log(endpoint.logLine);
        try {
            reply.clear();
            if (credentials.isSigned())
                ctx.http.post(reportAddress(endpoint.host, client), body, reply,
                              freshNonceHeaders(credentials), credentials.headers);
            else
                ctx.http.post(reportAddress(endpoint.host, client), body, reply);
            return true;
        } catch (const std::exception& error) {
            // Whatever ends an attempt passes on to the next endpoint.
            lastError = error.what();
        }
    }
    reply.clear();

    if (!view.isChecked(CheckBoxId::NoProxy)) {
        // A proxy that lets nothing through is the usual cause: the whole run once more without it.
        ctx.model.log(fr("Désactivation du proxy"));
        view.setChecked(CheckBoxId::NoProxy, true);
        ctx.Button1Click();
        return false;
    }
    view.showInformation(unreachableServiceText(), lastError);
    view.closeWindow();
    return false;
}

} // namespace halvio
