// The "key:value" lines that describe the machine, the audio set-up and the
// calls, shared by the issue report and the quality survey. The callers pass
// their context objects in, so the library keeps no state of its own.
.pragma library

function deviceLines(prefix, model) {
    var lines = []
    if (!model)
        return lines
    for (var i = 0; i < model.count(); ++i)
        lines.push(prefix + i + ":" + model.getDeviceIdByRow(i))
    return lines
}

// The computer, the user's volume and voice-detection values, the
// push-to-talk mode and the audio devices.
function machineLines(app, user, pttMode) {
    var data = []
    var info = app.systemInfo
    data.push("sys_mfc:" + (info ? info.systemManufacturer : ""))
    data.push("sys_mdl:" + (info ? info.systemModel : ""))
    data.push("vol_o:" + user.speakerVolumeAdjust)
    data.push("vol_i:" + user.volumeAdjust)
    data.push("vad_s:" + user.vadSensitivity)
    data.push("vad_f:" + user.vadNoiseFloor)
    data.push("vad_h:" + user.vadHangoverSecs)
    data.push("txm:" + pttMode)
    var capture = app.captureDevices
    var render = app.renderDevices
    data = data.concat(deviceLines("cdev_", capture), deviceLines("rdev_", render))
    data.push("rdev_sel:" + (render ? render.currentDeviceId : ""))
    data.push("cdev_sel:" + (capture ? capture.currentDeviceId : ""))
    data.push("rdev_eff:" + (render ? render.effectiveDeviceId : ""))
    data.push("cdev_eff:" + (capture ? capture.effectiveDeviceId : ""))
    return data
}

// Every value of every statistics sample, by short name.
function callStatLines(stats) {
    var data = []
    if (!stats)
        return data
    for (var row = 0; row < stats.count(); ++row) {
        var values = stats.get(row, false)
        for (var name in values)
            data.push("cs_" + row + "_" + name + ":" + values[name])
    }
    return data
}

function localeLines(locale) {
    return ["locale_name:" + locale.name,
            "locale_nativeCountryName:" + locale.nativeCountryName,
            "locale_nativeLanguageName:" + locale.nativeLanguageName]
}
