// gen_csv: deterministic generator of realistic CSV files for the benchmarks.
//
//   gen_csv PROFILE SIZE_MB OUTPUT
//
//   PROFILE  ascii  about 12 columns of ids, names, e-mails, cities, dates,
//                   amounts and free-text comments; some fields quoted with
//                   commas or doubled quotes inside, apostrophes, empty cells
//            intl   the same kind of data with names and text in Turkish,
//                   German, French, Greek, Cyrillic and CJK scripts plus a few
//                   emoji; roughly 30% of the characters are non-ASCII
//            wide   200 columns of short values
//   SIZE_MB  target size, 1 MB = 1,000,000 bytes; the file ends at the first
//            row boundary at or past the target
//   OUTPUT   file to write (overwritten)
//
// Every file starts with a header line and every line ends with CR LF.
//
// The bytes written depend only on the arguments: the generator has its own
// PRNG (splitmix64), uses integer arithmetic only and no locale-dependent
// formatting, so the same arguments give the same file on every machine.

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The text tables below are UTF-8 literals; a compiler that reads this file
// in another encoding would silently produce a different data set.
static_assert(sizeof("\u00FC") == 3 && sizeof("ü") == 3,
              "gen_csv.cpp must be compiled with a UTF-8 source and execution charset");

namespace {

using Pool = std::vector<std::string_view>;

class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform enough in [0, n) for test data; n must be > 0.
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }

    // Inclusive range [lo, hi].
    std::uint32_t range(std::uint32_t lo, std::uint32_t hi) { return lo + below(hi - lo + 1); }

    // True with probability permille / 1000.
    bool chance(std::uint32_t permille) { return below(1000) < permille; }

    std::string_view pick(const Pool& pool) { return pool[below(static_cast<std::uint32_t>(pool.size()))]; }

private:
    std::uint64_t state_;
};

// Buffered output with a running byte count and a count of the characters
// (code points) that are not ASCII, so the run can report the mix it wrote.
class Output {
public:
    explicit Output(std::FILE* file) : file_(file) { buffer_.reserve(kCapacity); }

    void write(std::string_view row)
    {
        for (const char ch : row) {
            const auto byte = static_cast<unsigned char>(ch);
            if ((byte & 0xC0U) != 0x80U) {
                ++chars_;
                if (byte >= 0x80U)
                    ++nonAsciiChars_;
            }
        }
        if (buffer_.size() + row.size() > kCapacity)
            flush();
        buffer_.append(row);
        bytes_ += row.size();
    }

    bool flush()
    {
        if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            failed_ = true;
        buffer_.clear();
        return !failed_;
    }

    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t chars() const { return chars_; }
    std::uint64_t nonAsciiChars() const { return nonAsciiChars_; }
    bool failed() const { return failed_; }

private:
    static constexpr std::size_t kCapacity = std::size_t{1} << 20;

    std::FILE* file_;
    std::string buffer_;
    std::uint64_t bytes_ = 0;
    std::uint64_t chars_ = 0;
    std::uint64_t nonAsciiChars_ = 0;
    bool failed_ = false;
};

// ---------------------------------------------------------------------------
// Row building helpers

void appendUInt(std::string& out, std::uint64_t value, int minDigits = 1)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<int>(result.ptr - digits);
    for (int i = length; i < minDigits; ++i)
        out.push_back('0');
    out.append(digits, result.ptr);
}

// Appends one CSV field. Values holding a separator, quote or line break are
// always quoted (quotes doubled); forceQuotes quotes a plain value too, the
// way many exporters quote every text column.
void appendField(std::string& row, std::string_view value, bool forceQuotes = false)
{
    if (!row.empty())
        row.push_back(',');
    const bool needsQuotes = value.find_first_of(",\"\r\n") != std::string_view::npos;
    if (!needsQuotes && !forceQuotes) {
        row.append(value);
        return;
    }
    row.push_back('"');
    for (const char ch : value) {
        if (ch == '"')
            row.push_back('"');
        row.push_back(ch);
    }
    row.push_back('"');
}

void endRow(std::string& row)
{
    row.append("\r\n");
}

// yyyy-mm-dd; days stop at 28 so every date is valid.
void appendDate(std::string& out, Rng& rng, std::uint32_t firstYear, std::uint32_t lastYear)
{
    appendUInt(out, rng.range(firstYear, lastYear), 4);
    out.push_back('-');
    appendUInt(out, rng.range(1, 12), 2);
    out.push_back('-');
    appendUInt(out, rng.range(1, 28), 2);
}

void appendDateTime(std::string& out, Rng& rng)
{
    appendDate(out, rng, 2015, 2024);
    out.push_back(' ');
    appendUInt(out, rng.below(24), 2);
    out.push_back(':');
    appendUInt(out, rng.below(60), 2);
    out.push_back(':');
    appendUInt(out, rng.below(60), 2);
}

// A money amount with two decimals, mostly positive, occasionally negative.
void appendAmount(std::string& out, Rng& rng)
{
    if (rng.chance(60))
        out.push_back('-');
    const std::uint64_t cents = rng.chance(900) ? rng.below(100000) : rng.below(1000000000);
    appendUInt(out, cents / 100);
    out.push_back('.');
    appendUInt(out, cents % 100, 2);
}

// The created-at timestamp and the amount, two fields every profile has.
void appendTimestampAndAmount(std::string& row, std::string& scratch, Rng& rng)
{
    scratch.clear();
    appendDateTime(scratch, rng);
    appendField(row, scratch);

    scratch.clear();
    appendAmount(scratch, rng);
    appendField(row, scratch);
}

void appendLower(std::string& out, std::string_view text)
{
    for (const char ch : text) {
        if (ch == '\'' || ch == ' ')
            continue;
        out.push_back(ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch);
    }
}

// ---------------------------------------------------------------------------
// ascii profile

const Pool kFirstNames = {"James",  "Mary",     "Robert",    "Patricia", "John",       "Jennifer", "Michael",
                          "Linda",  "David",    "Elizabeth", "William",  "Barbara",    "Richard",  "Susan",
                          "Joseph", "Jessica",  "Thomas",    "Sarah",    "Charles",    "Karen",    "Christopher",
                          "Nancy",  "Daniel",   "Lisa",      "Matthew",  "Betty",      "Anthony",  "Margaret",
                          "Mark",   "Sandra",   "Sean",      "Siobhan",  "Aoife",      "Liam",     "Ciaran",
                          "Niamh",  "Mary Ann", "Jo",        "Al",       "Bartholomew"};

const Pool kLastNames = {"Smith",    "Johnson",   "Williams", "Brown",   "Jones",    "Garcia",       "Miller",
                         "Davis",    "Rodriguez", "Martinez", "O'Brien", "O'Connor", "D'Angelo",     "O'Neil",
                         "McDonald", "Anderson",  "Taylor",   "Thomas",  "Moore",    "Jackson",      "Martin",
                         "Lee",      "Thompson",  "White",    "Harris",  "Clark",    "Lewis",        "Robinson",
                         "Walker",   "Young",     "Allen",    "King",    "Wright",   "Scott",        "Hill",
                         "Green",    "Adams",     "Baker",    "Nelson",  "Carter",   "Van der Berg", "St. James"};

const Pool kDomains = {"example.com",   "mail.example.org", "corp.example.net",
                       "example.co.uk", "shop.example.com", "example.ie"};

struct City {
    std::string_view name;
    std::string_view country;
};

const std::vector<City> kCities = {
    {"New York", "US"},      {"Los Angeles", "US"},  {"Chicago", "US"},          {"Houston", "US"},
    {"Phoenix", "US"},       {"Philadelphia", "US"}, {"San Antonio", "US"},      {"San Diego", "US"},
    {"Dallas", "US"},        {"Austin", "US"},       {"Washington, D.C.", "US"}, {"Portland, OR", "US"},
    {"Coeur d'Alene", "US"}, {"London", "GB"},       {"Manchester", "GB"},       {"Bury St Edmunds", "GB"},
    {"Dublin", "IE"},        {"Cork", "IE"},         {"Toronto", "CA"},          {"St. John's", "CA"},
    {"Sydney", "AU"},        {"Melbourne", "AU"}};

const Pool kCommentPhrases = {"Customer asked for delivery after 5pm",
                              "Paid by card",
                              "Left at the front door, as requested",
                              "Called twice, no answer",
                              "Wants an invoice with the company's VAT number",
                              "Don't ring the bell",
                              "Order was split into 2 parcels",
                              "Replacement for item damaged in transit",
                              "Gift wrap, no price tags",
                              "Said the \"express\" option was too slow",
                              "Asked about the \"Premium, Plus\" plan",
                              "Refund issued; see ticket #4521",
                              "VIP - handle with care",
                              "Address verified by phone",
                              "It's the second complaint this month",
                              "Discount code SPRING10 applied",
                              "Prefers e-mail over phone",
                              "Box was 12\" x 8\" x 4\", 3 lbs",
                              "Backordered until next week",
                              "Customer's dog bites, leave at gate"};

// Joins 1..maxPhrases phrases into sentences ending in fullStop.
void appendComment(std::string& out, Rng& rng, const Pool& phrases, std::uint32_t maxPhrases,
                   std::string_view fullStop = ". ")
{
    const std::uint32_t count = rng.range(1, maxPhrases);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i > 0)
            out.append(rng.chance(500) ? fullStop : std::string_view(", "));
        out.append(rng.pick(phrases));
    }
    out.append(fullStop);
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
}

void writeAsciiHeader(Output& out)
{
    out.write("id,first_name,last_name,email,phone,city,country,birth_date,created_at,"
              "amount,quantity,comment\r\n");
}

void buildAsciiRow(std::string& row, std::string& scratch, Rng& rng, std::uint64_t id)
{
    const std::string_view first = rng.pick(kFirstNames);
    const std::string_view last = rng.pick(kLastNames);
    const City& city = kCities[rng.below(static_cast<std::uint32_t>(kCities.size()))];

    scratch.clear();
    appendUInt(scratch, id);
    appendField(row, scratch);

    appendField(row, first, rng.chance(100));
    appendField(row, last, rng.chance(100));

    scratch.clear();
    if (!rng.chance(50)) {
        appendLower(scratch, first);
        scratch.push_back('.');
        appendLower(scratch, last);
        if (rng.chance(400))
            appendUInt(scratch, rng.below(1000));
        scratch.push_back('@');
        scratch.append(rng.pick(kDomains));
    }
    appendField(row, scratch);

    scratch.clear();
    if (!rng.chance(150)) {
        scratch.append("+1 555-");
        appendUInt(scratch, rng.below(10000), 4);
    }
    appendField(row, scratch);

    appendField(row, city.name, rng.chance(100));
    appendField(row, city.country);

    scratch.clear();
    if (!rng.chance(80))
        appendDate(scratch, rng, 1940, 2005);
    appendField(row, scratch);

    appendTimestampAndAmount(row, scratch, rng);

    scratch.clear();
    if (!rng.chance(100))
        appendUInt(scratch, rng.below(500));
    appendField(row, scratch);

    scratch.clear();
    if (!rng.chance(200))
        appendComment(scratch, rng, kCommentPhrases, 3);
    appendField(row, scratch, !scratch.empty() && rng.chance(150));

    endRow(row);
}

// ---------------------------------------------------------------------------
// intl profile

struct Language {
    std::string_view code;
    Pool firstNames;
    Pool lastNames;
    bool familyNameFirst;
    bool spaceBetweenNames;
    std::string_view fullStop;
    Pool cities;
    Pool countries;
    Pool phrases;
};

// clang-format off
const std::vector<Language> kLanguages = {
    {"tr",
     {"Ayşe", "Mehmet", "Çağrı", "Şükrü", "Gülşen", "Özgür", "İbrahim", "Ömer", "Büşra", "Ilgın"},
     {"Yılmaz", "Kaya", "Demir", "Şahin", "Çelik", "Yıldız", "Öztürk", "Aydın", "Özdemir", "Arslan"},
     false, true, ". ",
     {"İstanbul", "Ankara", "İzmir", "Eskişehir", "Muğla", "Şanlıurfa", "Diyarbakır"},
     {"Türkiye"},
     {"Sipariş zamanında teslim edildi", "Müşteri kapıda ödeme yapmak istiyor",
      "Kargo şirketi adresi bulamadı, tekrar aranacak", "Ürün hasarlı geldi; iade süreci başladı",
      "Faturayı şirket adına kesin", "Lütfen öğleden sonra arayın", "Çok memnun kaldım, teşekkürler"}},
    {"de",
     {"Jürgen", "Jörg", "Günther", "Käthe", "Lukas", "Anna", "Björn", "Sören", "Maximilian", "Hannah"},
     {"Müller", "Schröder", "Köhler", "Groß", "Weiß", "Schäfer", "Becker", "Hoffmann", "Krüger",
      "von Weißenfels"},
     false, true, ". ",
     {"München", "Köln", "Düsseldorf", "Nürnberg", "Würzburg", "Berlin", "Lübeck", "Görlitz"},
     {"Deutschland", "Österreich", "Schweiz"},
     {"Lieferung bitte nur werktags", "Kunde wünscht eine Rechnung mit ausgewiesener MwSt.",
      "Paket beim Nachbarn abgegeben, Hausnr. 12", "Größe passt nicht; Umtausch gewünscht",
      "Zahlung per Überweisung erhalten", "Bestellung storniert, Gutschrift folgt",
      "Sehr freundlicher Kontakt, „schnelle“ Antwort"}},
    {"fr",
     {"François", "Hélène", "Thérèse", "Jérôme", "Anaïs", "Noël", "Chloé", "Léa", "Amélie", "Zoé"},
     {"Lefèvre", "Dubois", "Béranger", "Mézières", "Fontaine", "D'Arcy", "Lemaître", "Girard",
      "Benoît", "Château"},
     false, true, ". ",
     {"Besançon", "Orléans", "Nîmes", "Saint-Étienne", "Paris", "Montréal", "Genève", "Québec"},
     {"France", "Belgique", "Canada", "Suisse"},
     {"Livraison prévue l'après-midi", "Le client préfère être contacté par e-mail",
      "Colis déposé chez le gardien, bâtiment B", "Remboursement effectué aujourd'hui",
      "Très satisfait du service « express »", "Article défectueux, échange demandé",
      "Adresse vérifiée, code d'accès 4521"}},
    {"el",
     {"Αλέξανδρος", "Μαρία", "Γιώργος", "Ελένη", "Δημήτρης", "Κατερίνα", "Νίκος", "Σοφία"},
     {"Παπαδόπουλος", "Ιωάννου", "Γεωργίου", "Νικολάου", "Οικονόμου", "Καραγιάννης"},
     false, true, ". ",
     {"Αθήνα", "Θεσσαλονίκη", "Πάτρα", "Ηράκλειο", "Λάρισα", "Βόλος"},
     {"Ελλάδα", "Κύπρος"},
     {"Η παραγγελία παραδόθηκε εγκαίρως", "Ο πελάτης ζήτησε τιμολόγιο",
      "Καλέστε πριν από την παράδοση", "Το προϊόν επιστράφηκε, αναμένεται επιστροφή χρημάτων",
      "Πληρωμή με κάρτα", "Ευχαριστούμε πολύ για την εξυπηρέτηση"}},
    {"ru",
     {"Владимир", "Екатерина", "Дмитрий", "Ольга", "Сергей", "Наталья", "Алексей", "Юлия"},
     {"Иванов", "Смирнова", "Кузнецов", "Попова", "Соколов", "Лебедева", "Шевченко", "Бондаренко"},
     false, true, ". ",
     {"Москва", "Санкт-Петербург", "Новосибирск", "Екатеринбург", "Київ", "Львів", "София", "Минск"},
     {"Россия", "Україна", "България", "Беларусь"},
     {"Заказ доставлен вовремя", "Клиент просит позвонить за час до доставки",
      "Оплата наличными при получении", "Товар повреждён, оформлен возврат",
      "Пожалуйста, свяжитесь со мной по электронной почте", "Спасибо за быструю доставку",
      "Адрес уточнён, подъезд 3, этаж 7"}},
    {"zh",
     {"伟", "芳", "娜", "秀英", "敏", "静", "小明", "建华"},
     {"王", "李", "张", "刘", "陈", "杨", "黄", "欧阳"},
     true, false, "。",
     {"北京", "上海", "广州", "深圳", "成都", "杭州", "台北", "香港"},
     {"中国", "中国台湾", "中国香港"},
     {"订单已发货，请注意查收", "客户要求开具增值税发票", "请在下午五点以后送货",
      "商品有破损，已安排退货", "已通过微信支付", "非常满意，谢谢"}},
    {"ja",
     {"花子", "太郎", "さくら", "健太", "陽菜", "翔", "美咲", "大輔"},
     {"佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村"},
     true, true, "。",
     {"東京", "大阪", "名古屋", "札幌", "福岡", "京都", "横浜"},
     {"日本"},
     {"配送が遅れています", "午前中の配達を希望", "領収書を同封してください",
      "商品が破損していたため交換します", "クレジットカードで支払い済み", "ありがとうございました"}},
    {"ko",
     {"민준", "서연", "지훈", "하은", "도윤", "지우"},
     {"김", "이", "박", "최", "정", "강"},
     true, false, ". ",
     {"서울", "부산", "인천", "대구", "광주"},
     {"대한민국"},
     {"주문이 정상적으로 배송되었습니다", "부재 시 경비실에 맡겨 주세요", "카드 결제 완료",
      "교환 요청, 사이즈가 맞지 않음", "감사합니다"}},
};
// clang-format on

const Pool kEmoji = {"😀", "🚀", "👍", "🎉", "❤️", "🙏", "📦", "👨‍👩‍👧", "🇩🇪", "✅"};

void writeIntlHeader(Output& out)
{
    out.write("id,lang,full_name,given_name,family_name,email,city,country,created_at,amount,"
              "comment\r\n");
}

void buildIntlRow(std::string& row, std::string& scratch, Rng& rng, std::uint64_t id)
{
    const Language& lang = kLanguages[rng.below(static_cast<std::uint32_t>(kLanguages.size()))];
    const std::string_view given = rng.pick(lang.firstNames);
    const std::string_view family = rng.pick(lang.lastNames);

    scratch.clear();
    appendUInt(scratch, id);
    appendField(row, scratch);
    appendField(row, lang.code);

    scratch.clear();
    scratch.append(lang.familyNameFirst ? family : given);
    if (lang.spaceBetweenNames)
        scratch.push_back(' ');
    scratch.append(lang.familyNameFirst ? given : family);
    appendField(row, scratch, rng.chance(150));
    appendField(row, given);
    appendField(row, family);

    // Addresses stay ASCII, as most mail systems still require.
    scratch.clear();
    if (!rng.chance(60)) {
        scratch.append("user");
        appendUInt(scratch, id);
        scratch.push_back('@');
        scratch.append(rng.pick(kDomains));
    }
    appendField(row, scratch);

    appendField(row, rng.pick(lang.cities));
    appendField(row, rng.pick(lang.countries));

    appendTimestampAndAmount(row, scratch, rng);

    scratch.clear();
    if (!rng.chance(100)) {
        appendComment(scratch, rng, lang.phrases, 5, lang.fullStop);
        if (rng.chance(60)) {
            scratch.push_back(' ');
            scratch.append(rng.pick(kEmoji));
        }
        if (rng.chance(30))
            scratch.append(" (ref \"A-17\")");
    }
    appendField(row, scratch, !scratch.empty() && rng.chance(150));

    endRow(row);
}

// ---------------------------------------------------------------------------
// wide profile

constexpr int kWideColumns = 200;

const Pool kShortWords = {"red",  "green", "blue", "ok",    "n/a",  "yes", "no", "low",
                          "high", "mid",   "x",    "alpha", "beta", "on",  "off"};

void writeWideHeader(Output& out)
{
    std::string header;
    for (int column = 1; column <= kWideColumns; ++column) {
        if (column > 1)
            header.push_back(',');
        header.append("c");
        appendUInt(header, static_cast<std::uint64_t>(column), 3);
    }
    header.append("\r\n");
    out.write(header);
}

void buildWideRow(std::string& row, std::string& scratch, Rng& rng, std::uint64_t id)
{
    scratch.clear();
    appendUInt(scratch, id);
    appendField(row, scratch);
    for (int column = 2; column <= kWideColumns; ++column) {
        scratch.clear();
        switch (column % 8) {
        case 0: appendUInt(scratch, rng.below(10000)); break;
        case 1:
            scratch.push_back(static_cast<char>('A' + rng.below(26)));
            scratch.push_back(static_cast<char>('A' + rng.below(26)));
            appendUInt(scratch, rng.below(100), 2);
            break;
        case 2: scratch.push_back(rng.chance(500) ? '1' : '0'); break;
        case 3:
            appendUInt(scratch, rng.below(100));
            scratch.push_back('.');
            appendUInt(scratch, rng.below(100), 2);
            break;
        case 4: scratch.push_back(static_cast<char>('a' + rng.below(26))); break;
        case 5:
            scratch.append(rng.pick(kShortWords));
            if (rng.chance(10))
                scratch.append(",x");
            break;
        case 6:
            if (!rng.chance(300))
                appendUInt(scratch, rng.below(1000));
            break;
        default: appendUInt(scratch, rng.range(20000101, 20241228)); break;
        }
        appendField(row, scratch);
    }
    endRow(row);
}

// ---------------------------------------------------------------------------

struct Profile {
    std::string_view name;
    std::uint64_t seed;
    void (*writeHeader)(Output&);
    void (*buildRow)(std::string&, std::string&, Rng&, std::uint64_t);
};

const std::array<Profile, 3> kProfiles = {{
    {"ascii", 0x5EED0A5C11ULL, writeAsciiHeader, buildAsciiRow},
    {"intl", 0x5EED17F1ULL, writeIntlHeader, buildIntlRow},
    {"wide", 0x5EED3A1DEULL, writeWideHeader, buildWideRow},
}};

int usage()
{
    std::fputs("usage: gen_csv ascii|intl|wide SIZE_MB OUTPUT\n"
               "  SIZE_MB is a positive whole number of megabytes (10^6 bytes)\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return usage();

    const std::string_view profileName = argv[1];
    const Profile* profile = nullptr;
    for (const Profile& candidate : kProfiles) {
        if (candidate.name == profileName)
            profile = &candidate;
    }
    if (profile == nullptr) {
        std::fprintf(stderr, "gen_csv: unknown profile '%s'\n", argv[1]);
        return usage();
    }

    const std::string_view sizeText = argv[2];
    std::uint64_t megabytes = 0;
    const auto parsed = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), megabytes);
    if (parsed.ec != std::errc{} || parsed.ptr != sizeText.data() + sizeText.size() || megabytes == 0
        || megabytes > 1000000) {
        std::fprintf(stderr, "gen_csv: bad size '%s'\n", argv[2]);
        return usage();
    }
    const std::uint64_t targetBytes = megabytes * 1000000;

    std::FILE* file = std::fopen(argv[3], "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "gen_csv: cannot open '%s': %s\n", argv[3], std::strerror(errno));
        return 1;
    }

    Output out(file);
    Rng rng(profile->seed);
    profile->writeHeader(out);

    std::string row;
    std::string scratch;
    std::uint64_t rows = 0;
    while (out.bytes() < targetBytes && !out.failed()) {
        row.clear();
        profile->buildRow(row, scratch, rng, rows + 1);
        out.write(row);
        ++rows;
    }

    const bool written = out.flush();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "gen_csv: write to '%s' failed\n", argv[3]);
        return 1;
    }

    const auto permille = out.chars() == 0 ? 0 : out.nonAsciiChars() * 1000 / out.chars();
    std::fprintf(stderr, "gen_csv: %s: %llu bytes, %llu rows, %llu.%llu%% non-ASCII characters\n", argv[3],
                 static_cast<unsigned long long>(out.bytes()), static_cast<unsigned long long>(rows),
                 static_cast<unsigned long long>(permille / 10), static_cast<unsigned long long>(permille % 10));
    return 0;
}
