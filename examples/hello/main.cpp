// The shortest useful client: start the library, share an object, report a failure, stop.
#include <KrStd.h>

#include <cstdio>

struct TGreeting {
    std::string text;
};

int main() {
    Init_KrStd(); // every client initialises once and deinitialises once

    var_a<TGreeting*> greeting = new_a<TGreeting>(TGreeting{"hello from KrStd"});
    var_a<TGreeting*> shared = greeting; // both hold the same object
    std::printf("%s (%ld holders)\n", shared->text.c_str(), static_cast<long>(shared.use_count()));

    try {
        throw TKrMessage("@Could not open %1%: %2%") << "settings.x-ini" << GetSystemErrorMessageString(2);
    } catch (const TKrMessage& e) {
        std::printf("caught: %s\n", e.what());
    }

    Deinit_KrStd();
    return 0;
}
