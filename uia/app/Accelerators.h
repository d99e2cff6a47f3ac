#pragma once
// The application's key-to-command table. Keys are key codes with their modifier bits.
// User-interface thread only.

#include <cstdint>
#include <map>

namespace HA::UIA {

class AcceleratorManagerImpl {
public:
    virtual ~AcceleratorManagerImpl() = default;
    // Inserts the pair, or replaces the command of a key already there.
    virtual void add(std::uint32_t key, int command) = 0;
    virtual void clear() = 0;
    // The key's command; 0 when there is none.
    virtual int find(std::uint32_t key) const = 0;
};

class AcceleratorManagerImplMap : public AcceleratorManagerImpl {
public:
    void add(std::uint32_t key, int command) override { mMap[key] = command; }
    void clear() override { mMap.clear(); }
    // A key of the numeric keypad without its own entry finds its main-block twin's.
    int find(std::uint32_t key) const override;

private:
    std::map<std::uint32_t, int> mMap;
};

}  // namespace HA::UIA
