// Writes the sample Paradox database that ships with Tabulon ("Load
// Sample/Example Database"): customers with non-ASCII names, orders with
// every number and date type, articles whose memos pass 64 KB, pictures
// with a small BMP in a graphic field, and one empty table.
//
//   make-samples OUTPUT-FOLDER

#include "tools/paradoxwriter.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using tabulon::DateTime;
using tabulon::ParadoxWriter;
using tabulon::Value;

struct Customer {
    int number;
    const char *name;
    const char *street;
    const char *city;
    const char *country;
    const char *phone;
    int since[3];
    bool active;
    const char *notes; // nullptr: blank
};

const Customer kCustomers[] = {
    {1001,
     "Zoë Müller GmbH",
     "Königstraße 12",
     "Stuttgart",
     "Germany",
     "+49 711 555 0101",
     {1994, 3, 14},
     true,
     "Prefers delivery before 10 o'clock."},
    {1002,
     "O'Brien & Sons",
     "4 Harbour Road",
     "Cork",
     "Ireland",
     "+353 21 555 0102",
     {1996, 11, 2},
     true,
     "Invoice in Euro (EUR). Contact: Siobhán O'Brien."},
    {1003, "Café Olé", "Calle Mayor 7", "Málaga", "Spain", "+34 952 555 103", {1999, 6, 30}, false, nullptr},
    {1004,
     "Smørrebrød ApS",
     "Nørregade 33",
     "Århus",
     "Denmark",
     "+45 86 555 104",
     {2001, 1, 8},
     true,
     "Line one\r\nLine two\r\nTab\there and a backslash \\ too."},
    {1005,
     "Jürgen Weiß",
     "Am Großen Garten 5",
     "Dresden",
     "Germany",
     "",
     {1988, 12, 31},
     true,
     "Pays \"net 30\"; 100% reliable."},
    {1006,
     "François Lefèvre SARL",
     "8 rue de l'Église",
     "Besançon",
     "France",
     "+33 3 81 55 01 06",
     {2003, 2, 28},
     true,
     nullptr},
    {1007,
     "Åsa Ström AB",
     "Storgatan 1",
     "Göteborg",
     "Sweden",
     "+46 31 555 107",
     {1992, 7, 1},
     false,
     "Closed for the summer: ½ price stock sold."},
    {1008,
     "Niño y Compañía",
     "Avenida del Puerto 150",
     "Cádiz",
     "Spain",
     "+34 956 555 108",
     {2005, 9, 15},
     true,
     "¿Sí? ¡Sí!"},
};

std::string articleText(int paragraphs, int seed)
{
    static const char *const sentences[] = {
        "The ledger was closed at the end of the quarter and carried forward. ",
        "Größe, Gewicht und Farbe wurden für jede Lieferung notiert. ",
        "Each crate held twelve jars of café crème, packed in straw. ",
        "Prices are given in Euro (EUR) and include the 19% tax. ",
        "He wrote \"handle with care\" on the lid; nobody read it. ",
        "A backslash \\ and an apostrophe ' must arrive unchanged. ",
        "The naïve estimate was off by a factor of two, as always. ",
    };
    std::string out;
    for (int p = 0; p < paragraphs; ++p) {
        out += "Paragraph " + std::to_string(p + 1) + ".\r\n";
        for (int s = 0; s < 6; ++s)
            out += sentences[(p * 3 + s + seed) % 7];
        out += "\r\n\r\n";
    }
    return out;
}

// A 48 x 32 true-colour BMP: a blue table grid on white with a green bar.
std::string sampleBitmap(int variant)
{
    const int width = 48, height = 32;
    const int rowBytes = (width * 3 + 3) & ~3;
    const int pixelBytes = rowBytes * height;
    std::string bmp;
    auto put16 = [&](unsigned v) {
        bmp += char(v & 0xff);
        bmp += char((v >> 8) & 0xff);
    };
    auto put32 = [&](unsigned v) {
        put16(v & 0xffff);
        put16(v >> 16);
    };
    bmp += "BM";
    put32(14 + 40 + pixelBytes);
    put32(0);
    put32(14 + 40);
    put32(40);
    put32(width);
    put32(height);
    put16(1);
    put16(24);
    put32(0);
    put32(pixelBytes);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            unsigned char r = 255, g = 255, b = 255;
            const int top = height - 1 - y;
            if (top < 6 || x % 12 == 0 || top % 8 == 0) {
                r = 0x1f;
                g = 0x4e;
                b = 0x79;
            }
            if (x > 4 + variant * 8 && x < 10 + variant * 8 && top > 12 && top < 28) {
                r = 0x2e;
                g = 0x8b;
                b = 0x57;
            }
            row += char(b);
            row += char(g);
            row += char(r);
        }
        row.resize(std::size_t(rowBytes), '\0');
        bmp += row;
    }
    return bmp;
}

Value text(const char *s) { return s && *s ? Value::text(s) : Value::null(); }

void writeCustomers(const std::string &folder)
{
    ParadoxWriter w(folder + "/customers.db", {{"CustNo", 'I'},
                                               {"Name", 'A', 40},
                                               {"Street", 'A', 40},
                                               {"City", 'A', 30},
                                               {"Country", 'A', 20},
                                               {"Phone", 'A', 20},
                                               {"Since", 'D'},
                                               {"Active", 'L'},
                                               {"Notes", 'M', 30}});
    for (const Customer &c : kCustomers)
        w.addRow({Value::integer(c.number), text(c.name), text(c.street), text(c.city), text(c.country), text(c.phone),
                  Value::dateTime(DateTime::fromCivil(c.since[0], c.since[1], c.since[2])), Value::boolean(c.active),
                  text(c.notes)});
    w.finish();
}

void writeOrders(const std::string &folder)
{
    ParadoxWriter w(folder + "/orders.db", {{"OrderNo", '+'},
                                            {"CustNo", 'I'},
                                            {"Ordered", 'D'},
                                            {"Shipped", '@'},
                                            {"Delivery", 'T'},
                                            {"Quantity", 'S'},
                                            {"Weight", 'N'},
                                            {"Amount", '$'},
                                            {"TaxRate", '#', 4},
                                            {"Paid", 'L'}});
    const char *const taxRates[] = {"0.1900", "0.0700", "0.2000", "0.0000"};
    for (int i = 0; i < 250; ++i) {
        const int customer = 1001 + (i * 5) % 8;
        const DateTime ordered = DateTime::fromCivil(1998 + i / 60, 1 + (i * 7) % 12, 1 + (i * 11) % 28);
        const bool shipped = i % 9 != 4;
        DateTime when = ordered;
        when.days += 1 + i % 6;
        when.msOfDay = ((8 + i % 10) * 3600 + (i * 37) % 3600) * 1000 + (i * 13) % 1000;
        Value shippedAt = shipped ? Value::dateTime(when) : Value::null();
        DateTime slot;
        slot.msOfDay = (9 + i % 8) * 3600 * 1000 + (i % 4) * 15 * 60 * 1000;
        const int64_t cents = 1999 + int64_t(i) * 7919 % 250000;
        w.addRow({Value::null(), Value::integer(customer), Value::dateTime(ordered), shippedAt,
                  i % 5 == 0 ? Value::null() : Value::dateTime(slot),
                  Value::integer(1 + (i * 3) % 40 - (i == 17 ? 41 : 0)),
                  Value::real(0.125 * (1 + i % 97) + (i == 3 ? 1234567.89 : 0.0)),
                  Value::currency(cents * 100 + (i % 3 == 0 ? 55 : 0)), Value::decimal(taxRates[i % 4]),
                  Value::boolean(i % 3 != 0)});
    }
    w.finish();
}

void writeArticles(const std::string &folder)
{
    ParadoxWriter w(folder + "/articles.db", {{"ArtNo", 'I'}, {"Title", 'A', 60}, {"Body", 'M', 40}});
    // 40, ~2 KB, ~70 KB and ~180 KB: in the record, in a sub-allocated
    // block, and in whole blocks past the 64 KB of a TEXT column.
    const int paragraphs[] = {0, 4, 160, 420};
    const char *const titles[] = {"A short note", "Shipping terms", "The long history of the shop",
                                  "Catalogue 1999, every article with its story"};
    for (int i = 0; i < 4; ++i) {
        std::string body = paragraphs[i] ? articleText(paragraphs[i], i) : "Short: fits the record.";
        w.addRow({Value::integer(i + 1), Value::text(titles[i]), Value::text(body)});
    }
    w.finish();
}

void writePictures(const std::string &folder)
{
    ParadoxWriter w(folder + "/pictures.db", {{"PicNo", 'I'}, {"Caption", 'A', 40}, {"Picture", 'G', 10}});
    w.addRow({Value::integer(1), Value::text("Shop front"), Value::bytes(sampleBitmap(0))});
    w.addRow({Value::integer(2), Value::text("Warehouse"), Value::bytes(sampleBitmap(3))});
    w.addRow({Value::integer(3), Value::text("No picture yet"), Value::null()});
    w.finish();
}

void writeArchive(const std::string &folder)
{
    ParadoxWriter w(folder + "/archive.db", {{"Id", 'I'}, {"Note", 'A', 50}, {"Filed", 'D'}});
    w.finish();
}

} // namespace

int main(int argc, char **argv)
{
    static const char kUsage[] = "Usage: make-samples OUTPUT-FOLDER\n"
                                 "Writes the sample Paradox tables into OUTPUT-FOLDER.\n";
    const std::string arg = argc == 2 ? argv[1] : "";
    if (arg == "--help" || arg == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // A folder whose name starts with "-" can still be named as ./-name.
    if (argc != 2 || arg.empty() || arg[0] == '-') {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string folder = arg;
    try {
        std::filesystem::create_directories(folder);
        writeCustomers(folder);
        writeOrders(folder);
        writeArticles(folder);
        writePictures(folder);
        writeArchive(folder);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "make-samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
