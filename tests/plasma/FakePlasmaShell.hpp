#pragma once

#include <QJSEngine>
#include <stdexcept>
#include <string>

#include "PlasmaDesktops.hpp"

namespace lumivo {

// plasmashell's desktop scripting as far as the helper's scripts use it,
// written in JavaScript and run by a real JavaScript engine, so that the
// scripts themselves (quoting included) are what is tested. Desktops keep
// their configuration per group ("Wallpaper/<plugin>/General").
class FakePlasmaShell {
  public:
    FakePlasmaShell() {
        const QJSValue result = engine_.evaluate(R"JS(
            var printed = "";
            function print(text) { printed += text; }
            var plasma = {desktops: {}, known: {"Image": [], "Plain Color": []}};
            function Desktop(id, screen, plugin) {
                this.id = id;
                this.screen = screen;
                this.wallpaperPlugin = plugin;
                this.configs = {};
                this.currentConfigGroup = [];
            }
            Desktop.prototype.group = function () {
                var key = this.currentConfigGroup.join("/");
                if (!this.configs[key]) this.configs[key] = {};
                return this.configs[key];
            };
            Object.defineProperty(Desktop.prototype, "configKeys",
                {get: function () { return Object.keys(this.group()); }});
            Desktop.prototype.readConfig = function (key) { return this.group()[key]; };
            Desktop.prototype.writeConfig = function (key, value) { this.group()[key] = value; };
            function desktopById(id) { return plasma.desktops[id] || null; }
            function desktops() {
                return Object.keys(plasma.desktops).map(function (k) { return plasma.desktops[k]; });
            }
            function screenGeometry(screen) { return {x: screen * 1280, y: 0, width: 1280, height: 720}; }
            function knownWallpaperPlugins() { return plasma.known; }
        )JS");
        if (result.isError()) {
            throw std::runtime_error(result.toString().toStdString());
        }
    }

    // Runs `script` as plasmashell would and returns what it printed.
    std::string evaluate(const std::string& script) {
        if (failing || answersLeft == 0) {
            throw std::runtime_error("plasmashell did not answer");
        }
        --answersLeft;
        engine_.globalObject().setProperty("printed", "");
        const QJSValue result = engine_.evaluate(QString::fromStdString(script));
        if (result.isError()) {
            throw std::runtime_error("script failed: " + result.toString().toStdString());
        }
        return engine_.globalObject().property("printed").toString().toStdString();
    }
    PlasmaDesktops::Evaluate evaluator() {
        return [this](const std::string& script) { return evaluate(script); };
    }

    // Runs `code` in the fake's own scope (to set up or inspect desktops).
    QJSValue run(const std::string& code) { return engine_.evaluate(QString::fromStdString(code)); }
    std::string plugin(int desktop) {
        return run("plasma.desktops[" + std::to_string(desktop) + "].wallpaperPlugin")
            .toString()
            .toStdString();
    }
    // A value of the desktop's configuration of `plugin`; "undefined" when unset.
    std::string config(int desktop, const std::string& plugin, const std::string& key) {
        return run("String(plasma.desktops[" + std::to_string(desktop) + "].configs['Wallpaper/" +
                   plugin + "/General']['" + key + "'])")
            .toString()
            .toStdString();
    }

    bool failing = false;
    // How many more scripts it answers before it fails (a crash midway).
    int answersLeft = -1;

  private:
    QJSEngine engine_;
};

}  // namespace lumivo
