#pragma once
// The few operations of the main window that the subsystems use. The window implements them; the
// subsystems never include widget headers.

#include <cstdint>
#include <string>
#include <string_view>

namespace halvio {

enum class GaugeId { CurrentFile /* p1 */, AllFiles /* p2 */ };
enum class CheckBoxId {
    NoProxy /* CheckBox3 */,
    TransferStructure /* CheckBox1 */,
    DirectConnection /* CheckBox2 */
};
enum class PanelId { EndPanel /* Panel1 */, DiagNotice /* Panel5 */ };

// The window closes by itself this long after a run ends (Timer3); the notices of the end say so.
inline constexpr int kCloseDelaySeconds = 10;

// The delay as those notices give it, "10 secondes" (ASCII, so Windows-1252 as it is).
inline std::string closeDelayText() {
    return std::to_string(kCloseDelaySeconds) + " secondes";
}

// The modes of the message dialog that the run uses. The dialog reads a mode digit by digit: 7 is
// the white "Information!" form, 8 the yellow "Attention!" one with a beep, 0 shows Enter-OK beside
// Esc-Annuler, which is always there, a 0 in second place gives Enter-OK the focus, and a minus sign
// closes the form by itself after its time-out.
namespace messagemode {
inline constexpr int kInformation = 70;
inline constexpr int kAttention = 80;
inline constexpr int kAttentionClosingByItself = -80; // for a notice that nobody may be there to answer
} // namespace messagemode

// Every text given or returned here is Windows-1252 bytes.
class RunView {
public:
    virtual ~RunView() = default;

    // Activity log (Memo2): appends the text; a text holding line breaks gives several lines.
    virtual void appendLog(std::string_view text) = 0;
    virtual void repaintNow() = 0;
    virtual void processMessages() = 0;

    // Gauges: a progress stored outside [minimum, maximum] is held at the nearer bound.
    virtual void setGaugeMinimum(GaugeId gauge, std::int32_t value) = 0;
    virtual void setGaugeMaximum(GaugeId gauge, std::int32_t value) = 0;
    virtual void setGaugeProgress(GaugeId gauge, std::int32_t value) = 0;
    virtual std::int32_t gaugeMinimum(GaugeId gauge) const = 0;
    virtual std::int32_t gaugeMaximum(GaugeId gauge) const = 0;
    virtual std::int32_t gaugeProgress(GaugeId gauge) const = 0;

    virtual void setPanelVisible(PanelId panel, bool visible) = 0;
    virtual bool isChecked(CheckBoxId box) const = 0;
    virtual void setChecked(CheckBoxId box, bool checked) = 0;

    virtual std::string caption() const = 0;
    virtual void setCaption(std::string_view caption) = 0;
    virtual void setStartCaption(std::string_view caption) = 0; // Button1
    virtual void setStartEnabled(bool enabled) = 0;             // Button1
    virtual void setClientMajCaption(std::string_view caption) = 0;
    virtual void setMigrationPercentCaption(std::string_view caption) = 0; // Label11
    virtual void setStatusText(std::string_view text) = 0;                 // s1, panel 0

    virtual void startCountdown() = 0; // Timer1
    virtual void stopCountdown() = 0;
    virtual void startCloseTimer() = 0; // Timer3

    // The system's own message dialog; returns its result code.
    virtual int showMessageForm(std::string_view text, int mode) = 0;
    // The toolkit's standard information box (title "Information", one OK button). The text is
    // French; details, when given, are kept behind the box's details button: an error's own text,
    // which a library may give in English.
    virtual void showInformation(std::string_view text, std::string_view details = {}) = 0;
    // The toolkit's plain message box: the application's title, the text, one OK button; details as
    // for showInformation.
    virtual void showPlainMessage(std::string_view text, std::string_view details = {}) = 0;

    // Closes the main window; the program ends once control is back in the message loop.
    virtual void closeWindow() = 0;
};

} // namespace halvio
