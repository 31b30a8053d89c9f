#include "Exchange.h"

#include "ByteBuffer.h"
#include "ClientReport.h"
#include "HttpClient.h"
#include "Model.h"
#include "PackageListReply.h"
#include "ReplyAuthenticity.h"
#include "ReportLines.h"
#include "RunContext.h"
#include "RunView.h"
#include "ServiceConversation.h"
#include "VendorKey.h"

namespace halvio {

void runExchange(RunContext& ctx, const Clock& now) {
    RunView& view = ctx.view;
    view.stopCountdown();
    if (view.isChecked(CheckBoxId::NoProxy))
        ctx.http.setProxy("", 0);
    view.setStartEnabled(false);
    try {
        if (ctx.saveBetaFlag)
            ctx.saveBetaFlag(view.isChecked(CheckBoxId::DirectConnection));
    } catch (const std::exception&) {
        // kliso.ini not writable: the flag stays as it was and the run goes on.
    }
    view.stopCountdown();
    ctx.model.OpenSetup();

    const ClientReport report = buildClientReport(ctx.model, now());
    const std::string body = reportBody(report.lines);
    platform::ByteBuffer reply;
    ReplyCredentials credentials{std::string(vendorPublicKey()), {}, {}};
    if (!exchangeWithService(ctx, report.client, body, reply, credentials))
        return;
    applyPackageListReply(ctx, reply.view(), now, &credentials);
}

} // namespace halvio
