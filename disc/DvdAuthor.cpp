#include "disc/DvdAuthor.h"

#include "disc/Chapters.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace tarvex {

namespace {

/// The three-letter codes of the languages films carry most, with their
/// two-letter forms; both the bibliographic and the terminology codes.
constexpr std::array<std::pair<std::string_view, std::string_view>, 44> Languages = {{
    {"ara", "ar"}, {"bul", "bg"}, {"cat", "ca"}, {"ces", "cs"}, {"cze", "cs"}, {"chi", "zh"},
    {"zho", "zh"}, {"dan", "da"}, {"deu", "de"}, {"ger", "de"}, {"ell", "el"}, {"gre", "el"},
    {"eng", "en"}, {"spa", "es"}, {"est", "et"}, {"fin", "fi"}, {"fra", "fr"}, {"fre", "fr"},
    {"heb", "he"}, {"hin", "hi"}, {"hrv", "hr"}, {"hun", "hu"}, {"ind", "id"}, {"isl", "is"},
    {"ice", "is"}, {"ita", "it"}, {"jpn", "ja"}, {"kor", "ko"}, {"lit", "lt"}, {"lav", "lv"},
    {"nld", "nl"}, {"dut", "nl"}, {"nor", "no"}, {"pol", "pl"}, {"por", "pt"}, {"ron", "ro"},
    {"rum", "ro"}, {"rus", "ru"}, {"slk", "sk"}, {"slo", "sk"}, {"slv", "sl"}, {"swe", "sv"},
    {"tur", "tr"}, {"ukr", "uk"},
}};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string VideoElement(const TDiscPlan& plan) {
    const TPicturePlan& p = plan.Picture;
    return std::string("<video format=\"") + (p.DestIsPAL ? "pal" : "ntsc") + "\" aspect=\"" +
           (p.Widescreen ? "16:9\" widescreen=\"nopanscan\"/>" : "4:3\"/>");
}

/// The two-letter code of a language as the DVD's IFO stores it ("eng" and "en"
/// give "en"); empty when it is not a language code.
std::string DvdLanguage(const std::string& code) {
    const std::string lower = Lower(code);
    const bool letters =
        std::all_of(lower.begin(), lower.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    if (!letters) return {};
    if (lower.size() == 2) return lower;
    for (const auto& [three, two] : Languages)
        if (three == lower) return std::string(two);
    return {};
}

std::string LangAttribute(const std::string& code) {
    const std::string lang = DvdLanguage(code);
    return lang.empty() ? "" : " lang=\"" + XmlText(lang) + "\"";
}

/// The title's streams, its chapters and the choices of the menu applied first.
std::string Titles(const TDiscPlan& plan, const std::string& vobFile,
                   const std::vector<double>& chapters, bool menu) {
    std::string xml = "<titleset>\n<titles>\n" + VideoElement(plan) + "\n";
    const std::size_t streams = (plan.Audio1Rate != 0) + (plan.Audio2Rate != 0);
    for (std::size_t i = 0; i < streams; ++i) {
        const std::vector<std::string>& langs = plan.Extras.SoundLanguages;
        xml += "<audio" + LangAttribute(i < langs.size() ? langs[i] : "") + "/>\n";
    }
    for (const TDiscSubtitle& s : plan.Extras.Subtitles)
        xml += "<subpicture" + LangAttribute(s.Language) + "/>\n";
    std::string list;
    for (const double t : chapters) list += (list.empty() ? "" : ",") + ChapterTime(t);
    xml += "<pgc>\n";
    // The menu keeps the chosen sound track in g1 and the subtitles in g2.
    if (menu) {
        xml += "<pre>audio=g1; subtitle=g2;";
        for (std::size_t i = 2; i <= chapters.size() && i <= MaxMenuChapters; ++i)
            xml += " if (g3 eq " + std::to_string(i) + ") jump chapter " + std::to_string(i) + ";";
        xml += "</pre>\n";
    }
    xml += "<vob file=\"" + XmlText(vobFile) + "\" chapters=\"" + list + "\"/>\n";
    if (menu) xml += "<post>call vmgm menu 1;</post>\n";
    return xml + "</pgc>\n</titles>\n</titleset>\n";
}

std::string Menu(const TDiscPlan& plan, const TMenuPage& menu) {
    std::string xml = "<vmgm>\n<menus>\n" + VideoElement(plan) + "\n";
    xml += "<pgc entry=\"title\">\n<vob file=\"" + XmlText(menu.VobFile) + "\" pause=\"inf\"/>\n";
    for (const TMenuButton& b : menu.Buttons)
        xml += "<button name=\"" + XmlText(b.Name) + "\">" + XmlText(b.Action) + "</button>\n";
    return xml + "</pgc>\n</menus>\n</vmgm>\n";
}

} // namespace

std::string XmlText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            // Control characters have no place in a name or a label.
            out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return out;
}

std::string DvdAuthorXml(const TDiscPlan& plan, const std::string& vobFile,
                         const std::vector<double>& chapters, const TMenuPage& menu) {
    const bool hasMenu = !menu.Buttons.empty();
    std::string xml = "<dvdauthor>\n";
    xml += hasMenu ? Menu(plan, menu) : "<vmgm/>\n";
    return xml + Titles(plan, vobFile, chapters, hasMenu) + "</dvdauthor>\n";
}

} // namespace tarvex
