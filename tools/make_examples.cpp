// Writes one example source file of each layout into a folder:
//   brandel-make-examples OUTDIR
// The files are deterministic, so running it again gives the same bytes.

#include <filesystem>
#include <fstream>
#include <iostream>

#include "tools/example_sources.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: brandel-make-examples OUTDIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::cerr << "cannot create " << dir.string() << ": " << ec.message() << "\n";
        return 1;
    }
    for (const brandel::tools::ExampleFile& file : brandel::tools::example_files()) {
        const std::string bytes = brandel::tools::make_source(file.layout, file.params);
        const std::filesystem::path path = dir / file.name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::cerr << "cannot write " << path.string() << "\n";
            return 1;
        }
        std::cout << path.string() << " (" << bytes.size() << " bytes)\n";
    }
    return 0;
}
