#pragma once

namespace lumivo {

// Where a running helper answers on the session bus: the well-known name
// (also the desktop entry's and the D-Bus service file's name) and the object
// that carries org.freedesktop.Application.
namespace BusNames {
inline constexpr const char* serviceName = "app.lumivo.Helper";
inline constexpr const char* objectPath = "/app/lumivo/Helper";
inline constexpr const char* applicationInterface = "org.freedesktop.Application";
}  // namespace BusNames

}  // namespace lumivo
