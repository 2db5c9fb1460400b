#include "simcontactgenerator.h"

#include <QDate>

#include <cstring>

#include <array>

namespace {

// SplitMix64: tiny, fast and the same on every platform, unlike the standard distributions.
class Dice
{
public:
    Dice(quint32 seed, int index)
        : m_state((quint64(seed) << 32) ^ (quint64(quint32(index)) * 0xD6E8FEB86659FD93ull))
    {
    }
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
    bool percent(int p) { return below(100) < p; }
    const QString &pick(const QStringList &list) { return list.at(below(list.size())); }
    QString digits(int count)
    {
        QString text(count, QLatin1Char('0'));
        for (int i = 0; i < count; ++i)
            text[i] = QLatin1Char(char('0' + (i == 0 ? 1 + below(9) : below(10))));
        return text;
    }

private:
    quint64 m_state;
};

QStringList split(const char *utf8)
{
    return QString::fromUtf8(utf8).split(QLatin1Char('|'));
}

struct Culture
{
    QStringList female, male, surnames;
};

struct City
{
    QString name, area, postcode;   // postcode pattern: # digit, A letter
};

struct Country
{
    QString name, code, tld;
    bool trunkZero;     // national form keeps a leading 0 ("0711 ..."); only shown for Germany
    bool numberFirst;   // "12 Rue de Rivoli" rather than "Hauptstraße 12"
    QList<City> cities;
    QStringList mobiles, streets, legalForms;
    int culture;        // index into cultures(): whose names live there most
    int landlineDigits; // national significant number: area code and subscriber
    int mobileDigits;
};

const QList<Culture> &cultures()
{
    static const QList<Culture> list = {
        {split("Anna|Maria|Julia|Laura|Lena|Sarah|Lisa|Katharina|Sophie|Hannah|Lea|Johanna|Claudia|Sabine|"
               "Petra|Andrea|Monika|Susanne|Birgit|Ursula|Christina|Stefanie|Nicole|Melanie|Franziska|Jana|"
               "Miriam|Carolin|Ingrid|Renate|Heike|Anja|Jutta|Karin|Elke|Marie|Emilia|Greta"),
         split("Thomas|Michael|Andreas|Stefan|Christian|Peter|Markus|Frank|Jürgen|Klaus|Wolfgang|Uwe|Martin|"
               "Tobias|Jonas|Lukas|Felix|Maximilian|Jan|Florian|Sebastian|Matthias|Alexander|Daniel|Dieter|"
               "Günter|Bernd|Ralf|Jörg|Oliver|Tim|Philipp|Niklas|Moritz|Horst|Heinz|Paul|Leon"),
         split("Müller|Schmidt|Schneider|Fischer|Weber|Meyer|Wagner|Becker|Schulz|Hoffmann|Schäfer|Koch|"
               "Bauer|Richter|Klein|Wolf|Schröder|Neumann|Schwarz|Zimmermann|Braun|Krüger|Hofmann|Hartmann|"
               "Lange|Schmitt|Werner|Schmitz|Krause|Meier|Lehmann|Schmid|Schulze|Maier|Köhler|Herrmann|"
               "König|Walter|Mayer|Huber|Kaiser|Fuchs|Peters|Lang|Scholz|Möller|Weiß|Jung|Hahn|Schubert|"
               "Vogel|Friedrich|Keller|Günther|Frank|Berger|Winkler|Roth|Beck|Lorenz|Baumann|Franke|"
               "Albrecht|Ludwig|Böhm|Haas|Seidel|Graf|Brandt|Dietrich|Kuhn|Pohl|Engel|Horn|Sauer|Arnold|"
               "Wolff|Pfeiffer|Eberle|Häberle|Kächele|Rapp|Bühler|Maurer")},
        {split("Ayşe|Elif|Zeynep|Fatma|Emine|Merve|Derya"), split("Mehmet|Mustafa|Ahmet|Emre|Can|Murat|Kemal"),
         split("Yılmaz|Kaya|Demir|Şahin|Çelik|Yıldız|Öztürk|Aydın|Arslan|Doğan|Koç|Kurt")},
        {split("Giulia|Francesca|Chiara|Sofia|Alessandra|Valentina"),
         split("Marco|Luca|Giuseppe|Alessandro|Matteo|Lorenzo|Davide"),
         split("Rossi|Russo|Ferrari|Esposito|Bianchi|Romano|Colombo|Ricci|Marino|Greco|Conti|De Luca")},
        {split("Agnieszka|Katarzyna|Małgorzata|Magdalena|Joanna"), split("Piotr|Krzysztof|Tomasz|Paweł|Łukasz|Michał"),
         split("Nowak|Kowalski|Wiśniewski|Wójcik|Kowalczyk|Kamiński|Lewandowski|Zieliński|Szymański")},
        {split("Camille|Chloé|Manon|Élodie|Isabelle|Céline"), split("Julien|Nicolas|Pierre|Antoine|Mathieu|François"),
         split("Martin|Bernard|Dubois|Durand|Lefèvre|Moreau|Laurent|Girard|Roux|Fontaine|Mercier")},
        {split("Emma|Olivia|Charlotte|Emily|Jessica|Sophie"), split("James|Oliver|William|Harry|George|Jack|Thomas"),
         split("Smith|Jones|Taylor|Brown|Williams|Wilson|Johnson|Davies|Robinson|Wright|Walker|Thompson|O'Brien")},
        {split("Lucía|Carmen|Elena|Marta|Laura"), split("Javier|Carlos|Pablo|Alejandro|Miguel|Sergio"),
         split("García|Fernández|González|Rodríguez|López|Martínez|Sánchez|Pérez|Gómez|Díaz")},
        {split("Eleni|Dimitra|Katerina|Georgia"), split("Giorgos|Nikos|Konstantinos|Dimitris|Yannis"),
         split("Papadopoulos|Georgiou|Nikolaidis|Papadakis|Christodoulou|Oikonomou")},
        {split("Ivana|Ana|Marija|Petra"), split("Ivan|Marko|Luka|Josip|Tomislav"),
         split("Horvat|Kovačević|Babić|Marić|Jurić|Novak|Knežević")},
        {split("Sanne|Femke|Lotte|Anouk"), split("Daan|Sem|Bram|Joost|Pieter"),
         split("de Jong|Jansen|de Vries|van den Berg|Bakker|Visser|Smit|van Dijk")},
    };
    return list;
}

const QList<Country> &countries()
{
    static const QStringList dachLegal = split("GmbH|GmbH|GmbH|GmbH & Co. KG|GmbH & Co. KG|AG|KG|e.K.|OHG|GbR");
    static const QList<Country> list = {
        {QStringLiteral("Deutschland"), QStringLiteral("49"), QStringLiteral("de"), true, false,
         {{QStringLiteral("Stuttgart"), QStringLiteral("711"), QStringLiteral("70###")},
          {QStringLiteral("Stuttgart"), QStringLiteral("711"), QStringLiteral("70###")},
          {QStringLiteral("Stuttgart"), QStringLiteral("711"), QStringLiteral("70###")},
          {QStringLiteral("Esslingen am Neckar"), QStringLiteral("711"), QStringLiteral("737##")},
          {QStringLiteral("Ludwigsburg"), QStringLiteral("7141"), QStringLiteral("716##")},
          {QStringLiteral("Böblingen"), QStringLiteral("7031"), QStringLiteral("710##")},
          {QStringLiteral("Karlsruhe"), QStringLiteral("721"), QStringLiteral("76###")},
          {QStringLiteral("Mannheim"), QStringLiteral("621"), QStringLiteral("68###")},
          {QStringLiteral("Heidelberg"), QStringLiteral("6221"), QStringLiteral("691##")},
          {QStringLiteral("Ulm"), QStringLiteral("731"), QStringLiteral("890##")},
          {QStringLiteral("Freiburg im Breisgau"), QStringLiteral("761"), QStringLiteral("791##")},
          {QStringLiteral("München"), QStringLiteral("89"), QStringLiteral("80###")},
          {QStringLiteral("Augsburg"), QStringLiteral("821"), QStringLiteral("861##")},
          {QStringLiteral("Nürnberg"), QStringLiteral("911"), QStringLiteral("90###")},
          {QStringLiteral("Frankfurt am Main"), QStringLiteral("69"), QStringLiteral("60###")},
          {QStringLiteral("Wiesbaden"), QStringLiteral("611"), QStringLiteral("651##")},
          {QStringLiteral("Köln"), QStringLiteral("221"), QStringLiteral("50###")},
          {QStringLiteral("Düsseldorf"), QStringLiteral("211"), QStringLiteral("40###")},
          {QStringLiteral("Dortmund"), QStringLiteral("231"), QStringLiteral("44###")},
          {QStringLiteral("Hamburg"), QStringLiteral("40"), QStringLiteral("2####")},
          {QStringLiteral("Bremen"), QStringLiteral("421"), QStringLiteral("28###")},
          {QStringLiteral("Hannover"), QStringLiteral("511"), QStringLiteral("30###")},
          {QStringLiteral("Berlin"), QStringLiteral("30"), QStringLiteral("1####")},
          {QStringLiteral("Leipzig"), QStringLiteral("341"), QStringLiteral("04###")},
          {QStringLiteral("Dresden"), QStringLiteral("351"), QStringLiteral("01###")}},
         split("151|152|157|159|160|162|163|170|171|172|173|174|175|176|177|178|179"),
         split("Hauptstraße|Bahnhofstraße|Königstraße|Schillerstraße|Goethestraße|Lindenweg|Gartenstraße|"
               "Industriestraße|Am Marktplatz|Friedrichstraße|Rotebühlplatz|Kirchstraße|Schulstraße|"
               "Mühlweg|Talstraße|Neckarstraße|Daimlerstraße|Robert-Bosch-Straße|Im Gewerbepark|"
               "Birkenweg|Uhlandstraße|Rosenstraße|Waldstraße|Hegelplatz|Theodor-Heuss-Straße"),
         dachLegal, 0, 10, 11},
        {QStringLiteral("Österreich"), QStringLiteral("43"), QStringLiteral("at"), false, false,
         {{QStringLiteral("Wien"), QStringLiteral("1"), QStringLiteral("1##0")},
          {QStringLiteral("Graz"), QStringLiteral("316"), QStringLiteral("80##")},
          {QStringLiteral("Linz"), QStringLiteral("732"), QStringLiteral("40##")}},
         split("664|676|699|650"), split("Mariahilfer Straße|Herrengasse|Landstraßer Hauptstraße|Schmiedgasse"),
         split("GmbH|GmbH|AG|KG|OG"), 0, 9, 11},
        {QStringLiteral("Schweiz"), QStringLiteral("41"), QStringLiteral("ch"), false, false,
         {{QStringLiteral("Zürich"), QStringLiteral("44"), QStringLiteral("80##")},
          {QStringLiteral("Basel"), QStringLiteral("61"), QStringLiteral("40##")},
          {QStringLiteral("Bern"), QStringLiteral("31"), QStringLiteral("30##")}},
         split("76|77|78|79"), split("Bahnhofstrasse|Seestrasse|Limmatquai|Marktgasse"), split("AG|AG|GmbH|SA"), 0, 9, 9},
        {QStringLiteral("Frankreich"), QStringLiteral("33"), QStringLiteral("fr"), false, true,
         {{QStringLiteral("Paris"), QStringLiteral("1"), QStringLiteral("750##")},
          {QStringLiteral("Lyon"), QStringLiteral("4"), QStringLiteral("6900#")},
          {QStringLiteral("Strasbourg"), QStringLiteral("3"), QStringLiteral("6700#")}},
         split("6|7"), split("Rue de Rivoli|Avenue Jean Jaurès|Boulevard Haussmann|Rue du Faubourg Saint-Honoré"),
         split("SARL|SAS|S.A."), 4, 9, 9},
        {QStringLiteral("Italien"), QStringLiteral("39"), QStringLiteral("it"), false, false,
         {{QStringLiteral("Milano"), QStringLiteral("02"), QStringLiteral("201##")},
          {QStringLiteral("Roma"), QStringLiteral("06"), QStringLiteral("001##")},
          {QStringLiteral("Torino"), QStringLiteral("011"), QStringLiteral("101##")}},
         split("333|347|320|339"), split("Via Roma|Corso Vittorio Emanuele II|Via Garibaldi|Via Dante"),
         split("S.r.l.|S.r.l.|S.p.A."), 2, 10, 10},
        {QStringLiteral("Niederlande"), QStringLiteral("31"), QStringLiteral("nl"), false, false,
         {{QStringLiteral("Amsterdam"), QStringLiteral("20"), QStringLiteral("10## AA")},
          {QStringLiteral("Rotterdam"), QStringLiteral("10"), QStringLiteral("30## AA")}},
         split("6"), split("Keizersgracht|Damrak|Coolsingel|Herengracht"), split("B.V.|B.V.|N.V."), 9, 9, 9},
        {QStringLiteral("Vereinigtes Königreich"), QStringLiteral("44"), QStringLiteral("co.uk"), false, true,
         {{QStringLiteral("London"), QStringLiteral("20"), QStringLiteral("SW1A #AA")},
          {QStringLiteral("Manchester"), QStringLiteral("161"), QStringLiteral("M# #AA")}},
         split("7700|7911|7400"), split("High Street|Baker Street|Kingsway|Deansgate"), split("Ltd|Ltd|PLC"), 5, 10, 10},
        {QStringLiteral("Spanien"), QStringLiteral("34"), QStringLiteral("es"), false, false,
         {{QStringLiteral("Madrid"), QStringLiteral("91"), QStringLiteral("280##")},
          {QStringLiteral("Barcelona"), QStringLiteral("93"), QStringLiteral("080##")}},
         split("6|7"), split("Calle de Alcalá|Gran Vía|Passeig de Gràcia|Calle Mayor"), split("S.L.|S.L.|S.A."), 6, 9, 9},
        {QStringLiteral("Polen"), QStringLiteral("48"), QStringLiteral("pl"), false, false,
         {{QStringLiteral("Warszawa"), QStringLiteral("22"), QStringLiteral("00-###")},
          {QStringLiteral("Kraków"), QStringLiteral("12"), QStringLiteral("30-###")}},
         split("501|512|601|669|691|721|790"), split("ul. Marszałkowska|ul. Floriańska|ul. Nowy Świat"), split("Sp. z o.o.|S.A."), 3, 9, 9},
        {QStringLiteral("USA"), QStringLiteral("1"), QStringLiteral("com"), false, true,
         {{QStringLiteral("New York, NY"), QStringLiteral("212"), QStringLiteral("100##")},
          {QStringLiteral("Chicago, IL"), QStringLiteral("312"), QStringLiteral("606##")}},
         split("917|646|773"), split("Fifth Avenue|Madison Avenue|S Wacker Drive|Main Street"), split("Inc.|LLC|Corp."), 5, 10, 10},
        {QStringLiteral("Türkei"), QStringLiteral("90"), QStringLiteral("com.tr"), false, false,
         {{QStringLiteral("İstanbul"), QStringLiteral("212"), QStringLiteral("34###")}},
         split("532|533|542|555"), split("İstiklal Caddesi|Bağdat Caddesi"), split("A.Ş.|Ltd. Şti."), 1, 10, 10},
    };
    return list;
}

struct Words
{
    QStringList branchesDe = split(
        "Maschinenbau|Elektrotechnik|Logistik|Software|Systemhaus|Metallbau|Bauunternehmung|Immobilien|"
        "Steuerberatung|Druckerei|Werkzeugbau|Automation|Medizintechnik|Gebäudetechnik|Consulting|"
        "Versicherungsmakler|Autohaus|Spedition|Kunststofftechnik|Präzisionsteile|Energietechnik|"
        "Haustechnik|Feinmechanik|Verpackungen|Messtechnik|Personalberatung|Reisen");
    QStringList branchesEn = split("Engineering|Logistics|Software|Consulting|Trading|Solutions|Industries|"
                                   "Systems|Components|Technologies|Partners");
    QStringList regions = split("Neckartal|Schwaben|Filder|Rems|Alb|Bodensee|Rhein-Main|Hanse|Spree|Isar|"
                                "Kraichgau|Schönbuch|Nordstern|Südwest|Allgäu|Enz|Weinsberg|Kocher");
    QStringList units = split("Einkauf|Vertrieb|IT|Buchhaltung|Geschäftsleitung|Personal|Marketing|Technik|"
                              "Kundendienst|Logistik|Qualitätssicherung|Produktion|Entwicklung");
    QStringList roles = split("Geschäftsführung|Einkauf|Vertriebsleitung|Projektleitung|Sachbearbeitung|"
                              "Technischer Support|Key Account Management|Buchhaltung|Assistenz der Geschäftsführung|"
                              "Marketing|Personalwesen|Außendienst|Teamleitung|Entwicklung");
    QStringList notes = split("Bevorzugt Kontakt per E-Mail.|Rückruf bitte vormittags.|Ansprechpartner für den "
                              "Rahmenvertrag.|Hat Interesse an einem Wartungsvertrag.|Nicht vor 9 Uhr anrufen.|"
                              "Rechnungen bitte an die Buchhaltung.|Messekontakt, Visitenkarte liegt vor.|"
                              "Spricht auch Englisch.|Urlaub meist im August.|Termine nur nach Absprache.");
    QStringList titles = split("Dr.|Dr.|Dr.|Prof. Dr.|Dipl.-Ing.");
    QStringList privateDomains = split("example.net|example.org|example.com");
    QStringList types = split("Kunde|Kunde|Kunde|Lieferant|Lieferant|Partner|Interessent|Dienstleister|Presse|Privat");
};

const Words &words()
{
    static const Words w;
    return w;
}

// For e-mail addresses and web domains: "Jürgen Weiß" -> "juergen", "weiss".
QString slug(const QString &text)
{
    QString lower = text.toLower();
    lower.replace(QStringLiteral("ä"), QStringLiteral("ae"))
        .replace(QStringLiteral("ö"), QStringLiteral("oe"))
        .replace(QStringLiteral("ü"), QStringLiteral("ue"))
        .replace(QStringLiteral("ß"), QStringLiteral("ss"));
    QString out;
    out.reserve(lower.size());
    bool dash = false;
    for (const QChar c : lower.normalized(QString::NormalizationForm_D)) {
        char ascii = c.toLatin1();
        if (c == QChar(0x0142))   // ł has no decomposition
            ascii = 'l';
        else if (c == QChar(0x0131))   // dotless ı
            ascii = 'i';
        if ((ascii >= 'a' && ascii <= 'z') || (ascii >= '0' && ascii <= '9')) {
            if (dash && !out.isEmpty())
                out += QLatin1Char('-');
            out += QLatin1Char(ascii);
            dash = false;
        } else if (c.category() != QChar::Mark_NonSpacing) {
            dash = true;
        }
    }
    return out;
}

QString postcode(Dice &dice, const QString &pattern)
{
    QString code = pattern;
    for (QChar &c : code) {
        if (c == QLatin1Char('#'))
            c = QLatin1Char(char('0' + dice.below(10)));
        else if (c == QLatin1Char('A'))
            c = QLatin1Char(char('A' + dice.below(26)));
    }
    return code;
}

// A number in the forms people type it, and its international E.123 form for lookups.
struct Number
{
    QString typed, international;
};

Number landline(Dice &dice, const Country &country, const City &city, bool withExtension)
{
    const QString area = city.area;
    const QString subscriber = dice.digits(qMax(4, country.landlineDigits - area.size() - (withExtension ? 2 : 0)));
    const QString extension = withExtension ? QString::number(dice.below(90) + 10) : QString();
    const QString international = QLatin1Char('+') % country.code % QLatin1Char(' ') % area % QLatin1Char(' ')
        % subscriber % extension;
    if (!country.trunkZero)
        return {international, international};
    const int form = dice.below(100);
    QString typed;
    if (withExtension)
        typed = QLatin1Char('0') % area % QLatin1Char(' ') % subscriber % QLatin1Char('-') % extension;
    else if (form < 45)
        typed = QLatin1Char('0') % area % QLatin1Char(' ') % subscriber;
    else if (form < 85)
        typed = international;
    else if (form < 93)
        typed = QLatin1Char('0') % area % QLatin1Char('/') % subscriber;
    else
        typed = QStringLiteral("+49 (0)") % area % QLatin1Char(' ') % subscriber;
    return {typed, international};
}

Number mobile(Dice &dice, const Country &country)
{
    const QString prefix = dice.pick(country.mobiles);
    const QString subscriber = dice.digits(qMax(4, country.mobileDigits - prefix.size()));
    const QString international = QLatin1Char('+') % country.code % QLatin1Char(' ') % prefix % QLatin1Char(' ')
        % subscriber;
    if (country.trunkZero && dice.percent(55))
        return {QLatin1Char('0') % prefix % QLatin1Char(' ') % subscriber, international};
    return {international, international};
}

QString street(Dice &dice, const Country &country)
{
    const QString name = dice.pick(country.streets);
    QString number = QString::number(1 + dice.below(dice.percent(70) ? 60 : 220));
    if (dice.percent(8))
        number += QLatin1Char(char('a' + dice.below(3)));
    return country.numberFirst ? number % QLatin1Char(' ') % name : name % QLatin1Char(' ') % number;
}

const char *const fieldKeys[] = {
    "adr_one_countryname",
    "adr_one_locality",
    "adr_one_postalcode",
    "adr_one_street",
    "adr_two_countryname",
    "adr_two_locality",
    "adr_two_postalcode",
    "adr_two_street",
    "contact_assistent",
    "contact_bday",
    "contact_calendar_uri",
    "contact_email",
    "contact_email_home",
    "contact_freebusy_uri",
    "contact_jpegphoto",
    "contact_label",
    "contact_note",
    "contact_owner",
    "contact_pubkey",
    "contact_role",
    "contact_room",
    "contact_tid",
    "contact_type",
    "contact_url",
    "contact_url_home",
    "facebook_profile_url",
    "google_profile_url",
    "id",
    "linkedin_profile_url",
    "n_family",
    "n_given",
    "n_prefix",
    "org_name",
    "org_unit",
    "tel_assistent",
    "tel_cell",
    "tel_cell_ic",
    "tel_cell_private",
    "tel_cell_private_ic",
    "tel_fax",
    "tel_fax_home",
    "tel_fax_home_ic",
    "tel_fax_ic",
    "tel_home",
    "tel_home_ic",
    "tel_work",
    "tel_work_ic",
    "twitter_profile_url",
    "xing_profile_url",
};
static_assert(sizeof(fieldKeys) / sizeof(fieldKeys[0]) == SimContactGenerator::FieldCount, "a key per field");

} // namespace

namespace {

// Writes text as a quoted JSON string at p, which must have room for 6 bytes per UTF-16 unit
// and 2; returns the end. Straight to memory: appending byte by byte costs most of a page.
char *writeJsonString(char *p, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    *p++ = '"';
    const ushort *utf16 = text.utf16();
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        uint u = utf16[i];
        if (u >= 0x80) {
            if (QChar::isHighSurrogate(u) && i + 1 < size && QChar::isLowSurrogate(utf16[i + 1]))
                u = QChar::surrogateToUcs4(ushort(u), utf16[++i]);
            else if (QChar::isSurrogate(u))
                u = 0xfffd;
            if (u < 0x800) {
                *p++ = char(0xc0 | (u >> 6));
            } else if (u < 0x10000) {
                *p++ = char(0xe0 | (u >> 12));
                *p++ = char(0x80 | ((u >> 6) & 0x3f));
            } else {
                *p++ = char(0xf0 | (u >> 18));
                *p++ = char(0x80 | ((u >> 12) & 0x3f));
                *p++ = char(0x80 | ((u >> 6) & 0x3f));
            }
            *p++ = char(0x80 | (u & 0x3f));
        } else if (u == '"' || u == '\\') {
            *p++ = '\\';
            *p++ = char(u);
        } else if (u >= 0x20) {
            *p++ = char(u);
        } else if (u == '\n') {
            *p++ = '\\';
            *p++ = 'n';
        } else {
            memcpy(p, "\\u00", 4);
            p[4] = hex[u >> 4];
            p[5] = hex[u & 15];
            p += 6;
        }
    }
    *p++ = '"';
    return p;
}

} // namespace

void SimContactGenerator::appendJsonString(QByteArray &out, const QString &text)
{
    const int start = out.size();
    out.resize(start + 6 * text.size() + 2);
    out.resize(int(writeJsonString(out.data() + start, text) - out.constData()));
}

QLatin1String SimContactGenerator::key(Field field)
{
    return QLatin1String(fieldKeys[field]);
}

// Fields by how much address books use them; a slimmer schema keeps the first ones. Every schema
// names the contact's book, as a PBX does: clients file contacts by it.
const SimContactGenerator::Field fieldsByUse[] = {
    SimContactGenerator::Id, SimContactGenerator::ContactTid, SimContactGenerator::NGiven, SimContactGenerator::NFamily,
    SimContactGenerator::NPrefix, SimContactGenerator::OrgName, SimContactGenerator::OrgUnit,
    SimContactGenerator::ContactEmail, SimContactGenerator::ContactEmailHome, SimContactGenerator::TelWork,
    SimContactGenerator::TelWorkIc, SimContactGenerator::TelCell, SimContactGenerator::TelCellIc,
    SimContactGenerator::TelHome, SimContactGenerator::TelHomeIc, SimContactGenerator::TelFax,
    SimContactGenerator::TelCellPrivate, SimContactGenerator::TelAssistent, SimContactGenerator::AdrOneStreet,
    SimContactGenerator::AdrOnePostalcode, SimContactGenerator::AdrOneLocality,
    SimContactGenerator::AdrOneCountryname, SimContactGenerator::AdrTwoStreet,
    SimContactGenerator::AdrTwoPostalcode, SimContactGenerator::AdrTwoLocality,
    SimContactGenerator::AdrTwoCountryname, SimContactGenerator::ContactBday, SimContactGenerator::ContactNote,
    SimContactGenerator::ContactOwner, SimContactGenerator::ContactType, SimContactGenerator::ContactRole,
};

QByteArray SimContactGenerator::toJson(const Contact &contact, int fieldLimit)
{
    std::array<bool, FieldCount> wanted;
    wanted.fill(fieldLimit >= FieldCount);
    for (int i = 0; i < fieldLimit && i < int(sizeof(fieldsByUse) / sizeof(fieldsByUse[0])); ++i)
        wanted[fieldsByUse[i]] = true;
    int bound = 2;
    for (int field = 0; field < FieldCount; ++field)
        bound += int(strlen(fieldKeys[field])) + 6 + 6 * contact[field].size();
    QByteArray out(bound, Qt::Uninitialized);
    char *p = out.data();
    *p++ = '{';
    for (int field = 0; field < FieldCount; ++field) {
        if (!wanted[field])
            continue;
        if (p > out.data() + 1)
            *p++ = ',';
        *p++ = '"';
        const size_t keySize = strlen(fieldKeys[field]);
        memcpy(p, fieldKeys[field], keySize);
        p += keySize;
        *p++ = '"';
        *p++ = ':';
        p = writeJsonString(p, contact[field]);
    }
    *p++ = '}';
    out.resize(int(p - out.constData()));
    return out;
}

QJsonObject SimContactGenerator::toObject(const Contact &contact)
{
    QJsonObject object;
    for (int field = 0; field < FieldCount; ++field)
        object.insert(key(Field(field)), contact[field]);
    return object;
}

QStringList SimContactGenerator::contactTypes()
{
    QStringList types = words().types;
    types.removeDuplicates();
    return types;
}

SimContactGenerator::Contact SimContactGenerator::contact(quint32 seed, int index, const QString &id,
                                                          const QString &bookId)
{
    // Every draw is its own statement: the order of evaluating arguments is unspecified, and
    // the same seed must give the same contact whatever the compiler.
    const Words &w = words();
    Dice dice(seed, index);
    Contact c;
    auto set = [&c](Field field, const QString &text) { c[field] = text; };
    // Draws only when present, so absent fields cost nothing.
    auto maybe = [&](Field key, bool present, const auto &make) {
        set(key, present ? make() : QString());
    };

    // Mostly German companies around Stuttgart, a quarter abroad; people of other origins
    // live everywhere.
    const QList<Country> &all = countries();
    const Country &country = dice.percent(75) ? all.first() : all.at(1 + dice.below(all.size() - 1));
    const City &city = country.cities.at(dice.below(country.cities.size()));
    const int cultureIndex = dice.percent(80) ? country.culture : dice.below(cultures().size());
    const Culture &culture = cultures().at(cultureIndex);
    const bool female = dice.percent(50);
    const QString given = dice.pick(female ? culture.female : culture.male);
    QString family = dice.pick(culture.surnames);
    if (female && (family.endsWith(QLatin1String("ski")) || family.endsWith(QLatin1String("cki"))))
        family[family.size() - 1] = QLatin1Char('a');   // Kowalski, Kowalska
    const bool german = country.code == QLatin1String("49") || country.code == QLatin1String("43")
        || country.code == QLatin1String("41");
    const bool privatePerson = dice.percent(12);

    QString companyStem;
    QString company;
    if (!privatePerson) {
        const QStringList &branches = german ? w.branchesDe : w.branchesEn;
        const QStringList &surnames = cultures().at(country.culture).surnames;
        const int pattern = dice.below(4);
        const QString first = pattern == 1 && german ? dice.pick(w.regions) : dice.pick(surnames);
        if (pattern == 0) {
            const QString second = dice.pick(surnames);
            companyStem = first % QStringLiteral(" & ") % second;
        } else if (pattern == 2) {
            QString acronym;
            for (int i = 0; i < 3; ++i)
                acronym += QLatin1Char(char('A' + dice.below(26)));
            const QString branch = dice.pick(branches);
            companyStem = acronym % QLatin1Char(' ') % branch;
        } else {
            const QString branch = dice.pick(branches);
            companyStem = first % QLatin1Char(' ') % branch;
        }
        const QString legalForm = dice.pick(country.legalForms);
        company = companyStem % QLatin1Char(' ') % legalForm;
    }
    const QString domain = slug(privatePerson ? family : companyStem) % QLatin1Char('.') % country.tld;
    const QString person = slug(given) % QLatin1Char('.') % slug(family);

    set(Id, id);
    set(ContactTid, bookId);
        set(ContactType, privatePerson ? QStringLiteral("Privat") : dice.pick(w.types));
    maybe(NPrefix, dice.percent(7), [&]() -> QString { return dice.pick(w.titles); });
    set(NGiven, given);
    set(NFamily, family);
    set(OrgName, company);
    maybe(OrgUnit, !privatePerson && dice.percent(60), [&]() -> QString { return dice.pick(w.units); });
    maybe(ContactRole, !privatePerson && dice.percent(55), [&]() -> QString { return dice.pick(w.roles); });
    maybe(ContactRoom, !privatePerson && dice.percent(15), [&]() -> QString {
        const int floor = 1 + dice.below(5);
        return QString::number(floor) % QLatin1Char('.') % QString::number(10 + dice.below(40));
    });

    // The field after a number's own is its international form, except for the assistant's.
    auto phone = [&](Field key, bool present, const auto &make) {
        const Number number = present ? make() : Number();
        set(key, number.typed);
        if (key != TelAssistent)
            set(Field(key + 1), number.international);
    };
    const bool withExtension = dice.percent(20);
    phone(TelWork, !privatePerson || dice.percent(20), [&] { return landline(dice, country, city, withExtension); });
    phone(TelCell, dice.percent(privatePerson ? 30 : 65), [&] { return mobile(dice, country); });
    phone(TelFax, !privatePerson && dice.percent(45), [&] { return landline(dice, country, city, false); });
    const City &homeCity = dice.percent(70) ? city : country.cities.at(dice.below(country.cities.size()));
    phone(TelHome, dice.percent(privatePerson ? 80 : 25), [&] { return landline(dice, country, homeCity, false); });
    phone(TelCellPrivate, dice.percent(privatePerson ? 60 : 20), [&] { return mobile(dice, country); });
    phone(TelFaxHome, dice.percent(4), [&] { return landline(dice, country, homeCity, false); });
    const bool hasAssistant = !privatePerson && dice.percent(10);
    phone(TelAssistent, hasAssistant, [&] { return landline(dice, country, city, true); });
    maybe(ContactAssistent, hasAssistant, [&]() -> QString {
        const QString name = dice.pick(cultures().first().female);
        return name % QLatin1Char(' ') % dice.pick(cultures().first().surnames);
    });

    set(ContactEmail, privatePerson ? QString() : person % QLatin1Char('@') % domain);
    maybe(ContactEmailHome, privatePerson || dice.percent(30), [&]() -> QString {
        const QString suffix = QString::number(dice.below(90) + 10);
        return person % suffix % QLatin1Char('@') % dice.pick(w.privateDomains);
    });
    maybe(ContactUrl, !privatePerson && dice.percent(80), [&]() -> QString { return QStringLiteral("https://www.") % domain; });
    maybe(ContactBday, dice.percent(35), [&]() -> QString {
        return QDate(1950, 1, 1).addDays(dice.below(52 * 365)).toString(Qt::ISODate) % QStringLiteral(" 00:00");
    });

    // Fields of an address, alphabetical: country, locality, postal code, street.
    auto address = [&](Field first, bool present, const City &where) {
        if (!present)
            return;
        set(Field(first + 3), street(dice, country));
        set(Field(first + 2), postcode(dice, where.postcode));
        set(Field(first + 1), where.name);
        set(first, country.name);
    };
    address(AdrOneCountryname, !privatePerson, city);
    address(AdrTwoCountryname, privatePerson || dice.percent(25), homeCity);

    maybe(ContactNote, dice.percent(20), [&]() -> QString {
        QString note;
        for (int lines = 1 + dice.below(3); lines > 0; --lines)
            note += (note.isEmpty() ? QString() : QStringLiteral("\n")) % dice.pick(w.notes);
        return note;
    });
    maybe(XingProfileUrl, german && !privatePerson && dice.percent(12), [&]() -> QString {
        return QStringLiteral("https://www.xing.com/profile/") % slug(given) % QLatin1Char('_') % slug(family);
    });
    maybe(LinkedinProfileUrl, !privatePerson && dice.percent(15), [&]() -> QString {
        return QStringLiteral("https://www.linkedin.com/in/") % slug(given) % QLatin1Char('-') % slug(family);
    });
    return c;
}

QString SimContactGenerator::unknownNumber(quint32 seed, int index)
{
    Dice dice(seed ^ 0x5bd1e995u, index);
    const Country &germany = countries().first();
    const City &city = germany.cities.at(dice.below(germany.cities.size()));
    return dice.percent(30) ? mobile(dice, germany).typed : landline(dice, germany, city, false).typed;
}
