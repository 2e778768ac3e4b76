// Writes the example page and its loci table for the browser check:
//   make_example_page QUORLIN EXAMPLES_DIR OUT_DIR
// leaves OUT_DIR/example.html and OUT_DIR/example.loci.tsv.
#include "page_fixture.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: make_example_page QUORLIN EXAMPLES_DIR OUT_DIR\n";
        return 2;
    }
    const std::string out = argv[3];
    const page::TablePage t = examplePage(argv[1], argv[2], out);
    if (t.tableName.empty()) {
        std::cerr << "the example run failed\n";
        return 1;
    }
    std::ofstream(out + "/example.loci.tsv", std::ios::binary) << t.lociTsv;
    std::ofstream html(out + "/example.html", std::ios::binary);
    html << page::tablePage(t);
    return html.good() ? 0 : 1;
}
