// WReader: text products and current conditions of a location, fetched over
// HTTP from the servers named in the host's settings.
//
// The host builds a reader with its status line, hands it a settings keeper
// with SetKeeper, and then asks for products and conditions as often as it
// likes. Every call reads its settings anew, fetches its page afresh (nothing
// is cached), and blocks until the page has been read. Progress and errors
// are shown on the status line when the reader has one: progress messages
// end in "...", errors begin with "Error: ", and the end of a read is
// signalled with endProgress().
//
// Settings, all in the keeper's section "Internet":
//   "UseProxy"        int     not 0: every request goes through the proxy
//   "ProxyLocation"   string  the proxy, "host:port" (or a proxy URL)
//   "ConditionsBase"  string  base URL of the conditions pages, ending in "/"
//   "WarningsBase"    string  base URL of the product pages, ending in "/"
//
// A reader holds two pointers and owns neither object: the host keeps the
// status line and the keeper alive while the reader uses them. Copies share
// them. The reader also holds its section rule (setSectionRule). Not
// thread-safe: one call at a time per reader, status line and keeper.
#ifndef STRATUS_READER_READER_H_
#define STRATUS_READER_READER_H_

#include "stratus/export.h"
#include "stratus/foundation/host.h"
#include "stratus/foundation/string.h"
#include "stratus/location/location.h"
#include "stratus/weather/condition.h"

struct WProductInfo;

class STRATUS_EXPORT WReader {
 public:
  // `infoLine` may be null: then nothing is shown. The reader has no keeper
  // until SetKeeper.
  explicit WReader(LInfoLine* infoLine = nullptr);
  WReader(const WReader& other) = default;
  // Copies both pointers and the section rule.
  WReader& operator=(const WReader& other);

  // Replaces the status line (null allowed).
  void SetInfoLine(LInfoLine* infoLine);

  // How the product getters find a location's sections in a page.
  //   LineRule  each line is judged on its own (the rules described at the
  //             getters): the default.
  //   UgcRule   the bulletins' own coding: UGC groups of one or more lines,
  //             county and zone codes, whole states, and for city products
  //             the issuing office named in a bulletin's heading. See
  //             docs/reader.md for what each rule finds on real pages.
  enum SectionRule { LineRule = 0, UgcRule = 1 };

  // Chooses the rule for the getters called after it; a new reader has
  // LineRule. Copies of a reader take its rule with them.
  void setSectionRule(SectionRule rule);
  SectionRule sectionRule() const;

  // Stores the keeper and, for each of "UseProxy", "ProxyLocation",
  // "ConditionsBase" and "WarningsBase" in that order, stores the default
  // when the keeper lacks the key: 0, "", and the two URLs of the local
  // sample server (http://127.0.0.1:8086/weather/current/ and
  // http://127.0.0.1:8086/iwin/). A value already present is never changed.
  // REQUIRES: `keeper` is not null; called before any getter.
  void SetKeeper(LKeeper* keeper);

  // The text products. Each fetches the state page
  //   "WarningsBase" + location.getShortState() + page name
  // and keeps the part of it that concerns the location: for zone products
  // the sections under the zone headers that cover the city data's "azone",
  // for city products the sections under the headers that hold the marker
  // and the city data's "acode". Lines of a section are joined by one blank.
  // The rows of this table are PRODUCTS, below.
  //
  //   getter          page name           cut by  marker  sections kept
  //   getWarnings     /allwarnings.html   zone    -       all
  //   getForecast     /zone.html          zone    -       first
  //   getDiscussion   /discussion.html    city    FXUS    all
  //   getSummary      /summary.html       city    ABUS    all
  //   getWatches      /watches.html       zone    -       all
  //   getStatements   /special.html       zone    -       all
  //   getPublic       /public.html        city    ABUS    all
  //
  // With UgcRule the page is cut by the bulletins' UGC groups instead: a
  // section runs from a group (one or more lines up to its purge time
  // "DDHHMM-") to a line holding "$$", "NNNN" or "GSK", a raw "<BR>", the
  // next group or the next WMO heading, and belongs to the location when
  // the group lists its "azone" or its "acounty" (e.g. "IAC127"), by number
  // or range, or names its state whole ("IAZ000", "IAZALL"). For city
  // products a bulletin without a group belongs to the location when its
  // heading names the city data's "aoffice" ("DMX": the heading's "KDMX" or
  // the AWIPS id "AFDDMX"); the markers play no part.
  //
  // All sections together hold at most 4 MiB (4,194,304 bytes) of text
  // before the line ends are doubled; a page that gives more ends the read
  // there.
  //
  // Results:
  //   L_OK        `text` holds the sections, every line ending in "\r\n"
  //   L_NOTFOUND  the city data lacks "azone" (zone products) or "acode"
  //               (city products); with UgcRule, lacks all of "azone" and
  //               "acounty" (and, for city products, "aoffice"); nothing
  //               shown or fetched; `text` untouched
  //   L_INPUT     the page holds nothing for the location; `text` empty
  //   L_RANGE     the sections reached the 4 MiB limit: `text` holds the
  //               whole lines that fit, reading stopped there
  //   L_CONNECT   the page could not be fetched; "Error: cannot connect to
  //               server" shown; `text` untouched
  // Status line: "Getting <label>...", "Reading data from server...", then
  // endProgress(). Throws LEx(L_MEM) when memory runs out.
  int getWarnings(const WLocation& location, LString& text);
  int getForecast(const WLocation& location, LString& text);
  int getDiscussion(const WLocation& location, LString& text);
  int getSummary(const WLocation& location, LString& text);
  int getWatches(const WLocation& location, LString& text);
  int getStatements(const WLocation& location, LString& text);
  int getPublic(const WLocation& location, LString& text);

  // The seven products in the order of the getters above: warnings,
  // forecast, discussion, summary, watches, statements, public (the fields
  // are those of WProductInfo, below the class). The getters are driven by
  // this table, so a host that lists products, names pages or shows labels
  // can take them from here.
  static constexpr int PRODUCT_COUNT = 7;
  static const WProductInfo PRODUCTS[PRODUCT_COUNT];

  // The current conditions at the location: fetches
  //   "ConditionsBase" + the city data's "acode" + ".html",
  // takes the first non-empty line after the line reading "ob" (tags
  // removed, trimmed), decodes it as an observation report and copies the
  // decoded values into `condition`: temperature, dew point, pressure, wind
  // direction and speed, time (each only when decoded), and the gust speed,
  // which becomes -1 when the report has none. The validity flag is left to
  // the host.
  //   L_OK       read and decoded (a page without a report decodes the empty
  //              text: only the gust speed changes then)
  //   L_ERROR    the report could not be decoded; "Error: cannot obtain
  //              conditions" shown; `condition` untouched
  //   L_CONNECT  the page could not be fetched; "Error: cannot connect to
  //              server" shown; `condition` untouched
  //   L_DB       the city data has no valid "acode"; nothing shown or
  //              fetched; `condition` untouched
  // Status line: "Getting current conditions...", "Reading data from
  // server...", then endProgress() on L_OK. Throws LEx(L_MEM).
  int getCondition(const WLocation& location, WCondition& condition);

  // The report itself, as getCondition picks it from the same page by the
  // same rules, undecoded: for hosts that read it completely
  // (decodeReport, report.h) or show it.
  //   L_OK       `report` is the report line (tags removed, trimmed)
  //   L_NOTFOUND the page holds no report; "Error: cannot obtain
  //              conditions" shown; `report` untouched
  //   L_CONNECT  the page could not be fetched; "Error: cannot connect to
  //              server" shown; `report` untouched
  //   L_DB       the city data has no valid "acode"; nothing shown or
  //              fetched; `report` untouched
  // Status line as getCondition. Throws LEx(L_MEM).
  int getReport(const WLocation& location, LString& report);

 private:
  // The three constants and five tests below are part of the class's
  // intended layout and stay for that reason, but nothing calls them: the
  // getters cut pages with the scanners of src/reader/section_scan.h (line
  // rule) and src/reader/ugc_scan.h (UGC rule), which judge lines as they
  // arrive. The constants hold
  // the values of stratus::kZoneEndStrings; the tests forward to the free
  // functions of the same names there.
  static const LString ZONE_END_STRING;   // "$$"
  static const LString ZONE_END_STRING2;  // "NNNN"
  static const LString ZONE_END_STRING3;  // "GSK"
  static void stripHTMLTags(LString& text, bool dropLineFeeds);
  static bool isZoneHeader(const LString& line);
  static bool inZone(const LString& zone, const LString& header);
  static bool isCityHeader(const LString& line, const LString& marker);
  static bool isCityHeader(const LString& line, const LString& marker,
                           const LString& code);

  // Fetch the station page of the location and pick its report.
  int readStationReport(const WLocation& location, LString& report);

  // Every getter: the URL of its page, then the cut of its row of
  // PRODUCTS.
  int getProduct(const WProductInfo& product, const WLocation& location,
                 LString& text);
  // Fetch `url` and collect the sections for the location's zone or city.
  int getZoneText(const WLocation& location, const LString& url,
                  const LString& label, bool firstSectionOnly, LString& text);
  int getCityText(const WLocation& location, const LString& url,
                  const LString& marker, const LString& label, LString& text);
  // The same by UgcRule.
  int getUgcText(const WProductInfo& product, const WLocation& location,
                 const LString& url, LString& text);

  LInfoLine* infoLine_;
  LKeeper* keeper_;
  SectionRule sectionRule_;
};

// One text product of WReader: a row of WReader::PRODUCTS.
struct WProductInfo {
  const char* name;       // "forecast": the getter's name without "get"
  const char* page;       // "/zone.html": the page name after the state
  const char* label;      // "forecast": as shown in "Getting <label>..."
  bool byZone;            // cut by zone (true) or by city (false)
  bool firstSectionOnly;  // only the first section is kept
  const char* marker;     // city products: "FXUS" or "ABUS"; zone: null
  int (WReader::*get)(const WLocation& location, LString& text);
};

#endif  // STRATUS_READER_READER_H_
