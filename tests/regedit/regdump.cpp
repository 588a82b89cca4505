// Prints what the registry store reads from a .reg file below one key, a line a value, sorted:
//   ostrel_regdump FILE KEY   ->   key<TAB>value name<TAB>type<TAB>data in hex
// The comparison with Wine's regedit runs it on a file and on what regedit exported of it.
#include "base/errors.h"
#include "host/regdocument.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    const auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        return text;
    };
    const std::string below = lower(argv[2]);
    try {
        const ostrel::host::RegDocument image(file.readAll());
        std::set<std::string> lines, keys;
        for (const std::string& key : image.Keys()) {
            const std::string name = lower(key);
            if ((name != below && name.rfind(below + "\\", 0) != 0) || !keys.insert(name).second)
                continue;
            std::set<std::string> values;
            for (const std::string& value : image.ValueNames(key)) {
                if (!values.insert(lower(value)).second)
                    continue;
                const ostrel::host::RegValueRead read = image.Read(key, value);
                if (read.status != ostrel::host::RegValueRead::Status::Ok)
                    continue;
                std::string hex;
                for (unsigned char c : read.data) {
                    char byte[3];
                    std::snprintf(byte, sizeof byte, "%02x", c);
                    hex += byte;
                }
                lines.insert(name + "\t" + lower(value) + "\t" + std::to_string(read.type) + "\t" + hex);
            }
        }
        for (const std::string& line : lines)
            std::puts(line.c_str());
    } catch (const ostrel::RegistryError& error) {
        std::printf("refused: %s\n", error.what());
        return 1;
    }
    return 0;
}
