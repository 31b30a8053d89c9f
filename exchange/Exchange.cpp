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

namespace {

// One pass of the exchange, from the start of the run to the applied reply; a pass that ends
// without the service's answer says why.
ServiceOutcome runPass(RunContext& ctx, const Clock& now) {
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
    const ServiceOutcome outcome = exchangeWithService(ctx, report.client, body, reply, credentials);
    if (outcome == ServiceOutcome::Answered)
        applyPackageListReply(ctx, reply.view(), now, &credentials);
    return outcome;
}

} // namespace

void runExchange(RunContext& ctx, const Clock& now) {
    // The exchange ticks CheckBox3 before it asks for the repetition, so the run normally goes once
    // more and no further; only a user who unticks the box meanwhile earns another pass.
    while (runPass(ctx, now) == ServiceOutcome::RepeatWithoutProxy) {
    }
}

} // namespace halvio
