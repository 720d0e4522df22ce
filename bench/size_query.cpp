// The large-file query of the disk-usage scan on any folder: every regular file over BYTES
// below ROOT (names beginning with "." included, as find and bfs see them), one path a line.
//   lurkel_bench_size_query ROOT BYTES
#include "MetadataQuery.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ROOT BYTES\n", argv[0]);
        return 2;
    }
    lurkel::MetadataQuery::Predicate predicate;
    predicate.sizeAbove = std::strtoull(argv[2], nullptr, 10);
    for (const lurkel::MetadataItem &item : lurkel::MetadataQuery::runNow({argv[1]}, predicate, false))
        std::printf("%s\n", item.path.c_str());
    return 0;
}
