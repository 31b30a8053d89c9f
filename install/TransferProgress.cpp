#include "TransferProgress.h"

#include "HttpEvents.h"
#include "Model.h"
#include "RunContext.h"
#include "RunView.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace halvio {

namespace {

std::int32_t clampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// The whole per cent a gauge shows, which is all its bar can show of a change.
std::int64_t shownPercent(const RunView& view, GaugeId gauge) {
    const std::int64_t minimum = view.gaugeMinimum(gauge);
    const std::int64_t span = std::int64_t{view.gaugeMaximum(gauge)} - minimum;
    if (span <= 0)
        return 0;
    return (view.gaugeProgress(gauge) - minimum) * 100 / span;
}

// Returns whether anything the window shows has changed. Throws where the percentage cannot be
// computed, which skips what follows it.
bool updateShownProgress(RunContext& run, std::int64_t count) {
    RunView& view = run.view;
    PackageTable& tmem = run.model.tmem;
    const std::int64_t p1Before = shownPercent(view, GaugeId::CurrentFile);
    const std::int64_t p2Before = shownPercent(view, GaugeId::AllFiles);

    view.setGaugeProgress(GaugeId::CurrentFile, clampToInt32(count));
    view.setGaugeProgress(GaugeId::AllFiles, clampToInt32(std::int64_t{run.runningTotal} + count));
    bool changed = shownPercent(view, GaugeId::CurrentFile) != p1Before ||
                   shownPercent(view, GaugeId::AllFiles) != p2Before;

    if (tmem.isEditing()) {
        const std::int16_t percent =
            roundedPercent(view.gaugeProgress(GaugeId::CurrentFile), view.gaugeMaximum(GaugeId::CurrentFile));
        if (tmem.current().pc != percent) {
            tmem.setPc(percent);
            changed = true;
        }
    }
    return changed;
}

} // namespace

std::int16_t roundedPercent(std::int32_t progress, std::int32_t maximum) {
    if (maximum == 0)
        throw std::domain_error("percentage of a transfer of no expected size");
    // The default rounding mode sends a half to the even neighbour.
    const double percent = std::nearbyint(static_cast<double>(progress) / maximum * 100.0);
    if (percent < std::numeric_limits<std::int16_t>::min() ||
        percent > std::numeric_limits<std::int16_t>::max())
        throw std::range_error("percentage out of range");
    return static_cast<std::int16_t>(percent);
}

void HTTPWorkBegin(RunContext& run, std::int64_t expectedCount) {
    run.view.setGaugeMaximum(GaugeId::CurrentFile, clampToInt32(expectedCount));
}

void HTTPWork(RunContext& run, std::int64_t count) {
    try {
        if (updateShownProgress(run, count))
            run.view.repaintNow();
    } catch (const std::exception&) {
        // A failed progress update never breaks a transfer.
    }
    run.view.processMessages();
}

void HTTPStatus(RunContext& run, const std::string& statusText) {
    run.view.setStatusText(statusText);
}

platform::HttpEvents transferProgressEvents(RunContext& run) {
    platform::HttpEvents events;
    events.workBegin = [&run](std::int64_t expected) { HTTPWorkBegin(run, expected); };
    events.work = [&run](std::int64_t count) { HTTPWork(run, count); };
    events.status = [&run](const std::string& text) { HTTPStatus(run, text); };
    return events;
}

} // namespace halvio
