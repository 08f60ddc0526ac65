#pragma once

#include <QString>

// Builds a synthetic home for benchmarks: about 20 entries a folder, 4 to 6 levels deep, 2% of
// the files tagged. "Popular" is on 1,000 files and "Huge" on 10,000 (when there are enough);
// the other names include mixed-case and non-ASCII ones. Reuses a finished tree.
namespace HomeGenerator {

struct Shape {
    int taggedEvery = 50;  // one file in this many carries tags
    int names = 150;       // the plain names drawn from ("tag0"…)
    int maxNames = 1;      // each tagged file carries 1 to this many of them
};

void generate(const QString& root, int fileCount, Shape shape = {});

}  // namespace HomeGenerator
