#include "kernels.hpp"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <vector>

namespace bipedkin::bench {
namespace {

// Values (addresses relative to the load base) of the named symbols in the
// ELF symbol table (.symtab) of a 64-bit shared library.
std::optional<Elf64_Addr> symbol_value(const std::vector<char>& image, const char* wanted) {
  if (image.size() < sizeof(Elf64_Ehdr)) return std::nullopt;
  Elf64_Ehdr eh;
  std::memcpy(&eh, image.data(), sizeof eh);
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) return std::nullopt;
  auto section = [&](std::size_t i) {
    Elf64_Shdr sh;
    std::memcpy(&sh, image.data() + eh.e_shoff + i * eh.e_shentsize, sizeof sh);
    return sh;
  };
  if (eh.e_shoff + std::size_t{eh.e_shnum} * eh.e_shentsize > image.size()) return std::nullopt;
  for (std::size_t i = 0; i < eh.e_shnum; ++i) {
    const Elf64_Shdr symtab = section(i);
    if (symtab.sh_type != SHT_SYMTAB || symtab.sh_link >= eh.e_shnum) continue;
    const Elf64_Shdr strtab = section(symtab.sh_link);
    if (symtab.sh_offset + symtab.sh_size > image.size() || strtab.sh_offset + strtab.sh_size > image.size()) {
      return std::nullopt;
    }
    for (std::size_t k = 0; k < symtab.sh_size / sizeof(Elf64_Sym); ++k) {
      Elf64_Sym sym;
      std::memcpy(&sym, image.data() + symtab.sh_offset + k * sizeof sym, sizeof sym);
      if (sym.st_name >= strtab.sh_size || ELF64_ST_TYPE(sym.st_info) != STT_FUNC) continue;
      const char* name = image.data() + strtab.sh_offset + sym.st_name;
      if (std::strncmp(name, wanted, strtab.sh_size - sym.st_name) == 0) return sym.st_value;
    }
  }
  return std::nullopt;
}

}  // namespace

ShippedKernel open_kernel(const std::string& name, const std::filesystem::path& dir, const std::string& symbol) {
  const std::filesystem::path file = dir / (name + ".so");
  host::Library library = host::Library::open(name, dir);
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto kernel = symbol_value(image, symbol.c_str());
  const auto entry = symbol_value(image, "mexFunction");
  auto* entry_address = static_cast<char*>(library.symbol("mexFunction"));
  if (!kernel || !entry || entry_address == nullptr) {
    throw std::runtime_error(file.string() + ": no " + symbol + " in its symbol table (stripped?)");
  }
  // The load base is where mexFunction landed minus its value in the file.
  char* base = entry_address - *entry;
  return {std::move(library), reinterpret_cast<KernelFunction>(base + *kernel)};
}

}  // namespace bipedkin::bench
