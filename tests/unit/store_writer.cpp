// Writes a value into the registry store over and over, for the test that kills it mid-write:
//   ostrel_store_writer PATH  (value "n" of key "Hot" takes 1, 2, 3, ... until the process dies)
#include "host/regstore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    ostrel::host::RegFileStore store(QString::fromLocal8Bit(argv[1]));
    for (std::uint32_t n = 1;; ++n) {
        auto key = store.CreateKey("Hot");
        if (!key || !key->WriteDword("n", n))
            return 1;
        std::printf("%u\n", n); // written: the test times the writes by these
        std::fflush(stdout);
    }
}
