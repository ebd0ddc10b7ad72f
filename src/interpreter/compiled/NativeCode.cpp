#include "interpreter/compiled/NativeCode.h"

#include "interpreter/compiled/X86Generator.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#define ZIFFA_NATIVE_CODE 1
#else
#define ZIFFA_NATIVE_CODE 0
#endif

namespace ziffa::compiled {

#if ZIFFA_NATIVE_CODE

std::unique_ptr<NativeCode> NativeCode::Generate(const Program &program) {
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
    const std::optional<MachineCode> generated = GenerateX86(program, pageSize);
    if (!generated)
        return nullptr;
    // The code's pages, then the constants' pages (the code's length is a whole number of pages).
    const std::vector<std::uint8_t> &code = generated->code;
    const std::vector<std::uint8_t> &constants = generated->constants;
    const std::size_t codeSize = code.size();
    const std::size_t constantsSize = (constants.size() + pageSize - 1) / pageSize * pageSize;
    const std::size_t size = codeSize + constantsSize;
    void *memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    auto *bytes = static_cast<std::uint8_t *>(memory);
    std::memcpy(bytes, code.data(), code.size());
    std::memcpy(bytes + codeSize, constants.data(), constants.size());
    if (mprotect(bytes, codeSize, PROT_READ | PROT_EXEC) != 0 ||
        mprotect(bytes + codeSize, constantsSize, PROT_READ) != 0) {
        munmap(memory, size);
        return nullptr;
    }
    Entry entry;
    static_assert(sizeof entry == sizeof memory);
    std::memcpy(&entry, &memory, sizeof entry);
    void *batchMemory = bytes + generated->batchEntry;
    BatchEntry batch;
    static_assert(sizeof batch == sizeof batchMemory);
    std::memcpy(&batch, &batchMemory, sizeof batch);
    return std::make_unique<NativeCode>(Key(), memory, size, entry, batch);
}

NativeCode::~NativeCode() {
    munmap(memory_, size_);
}

#else

std::unique_ptr<NativeCode> NativeCode::Generate(const Program &) {
    return nullptr;
}

NativeCode::~NativeCode() = default;

#endif

} // namespace ziffa::compiled
