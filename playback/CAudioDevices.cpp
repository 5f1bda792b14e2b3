#include "playback/CAudioDevices.h"

#include <functional>
#include <utility>

namespace {

// The name the sound system opens the device by is what its element is told to open; each
// API names that property differently.
constexpr const char *OPEN_PROPERTIES[] = {"device", "target-object", "path", "port-pattern"};

QString OpenNameOf(GstElement *pSink) {
    for (const char *pszProperty : OPEN_PROPERTIES) {
        GParamSpec *pSpec = g_object_class_find_property(G_OBJECT_GET_CLASS(pSink), pszProperty);
        if (!pSpec || pSpec->value_type != G_TYPE_STRING)
            continue;
        gchar *pszValue = nullptr;
        g_object_get(pSink, pszProperty, &pszValue, nullptr);
        const QString strValue = QString::fromUtf8(pszValue);
        g_free(pszValue);
        if (!strValue.isEmpty())
            return strValue;
    }
    return QString();
}

QString ApiOf(GstDevice *pDevice, GstElement *pSink) {
    QString strApi;
    if (GstStructure *pProps = gst_device_get_properties(pDevice)) {
        strApi = QString::fromUtf8(gst_structure_get_string(pProps, "device.api"));
        gst_structure_free(pProps);
    }
    if (strApi.isEmpty() && pSink) {
        GstElementFactory *pFactory = gst_element_get_factory(pSink);
        strApi = pFactory ? QString::fromUtf8(gst_plugin_feature_get_name(pFactory)) : "";
        if (strApi.endsWith(QLatin1String("sink")))
            strApi.chop(4);
    }
    return strApi;
}

// Walks the listed devices with their description, a sink of each and its setting's name;
// visit keeps the sink (returns true) to end the walk.
void ForEachDevice(const std::function<bool(CAudioDevices::Device &, GstElement *)> &visit) {
    if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, nullptr))
        return;
    GstDeviceMonitor *pMonitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(pMonitor, "Audio/Sink", nullptr);
    GList *pDevices = gst_device_monitor_get_devices(pMonitor);
    bool bDone = false;
    for (GList *p = pDevices; p && !bDone; p = p->next) {
        GstDevice *pDevice = GST_DEVICE(p->data);
        GstElement *pSink = gst_device_create_element(pDevice, nullptr);
        if (pSink)
            gst_object_ref_sink(pSink);
        gchar *pszDescription = gst_device_get_display_name(pDevice);
        CAudioDevices::Device device;
        device.strDescription = QString::fromUtf8(pszDescription);
        g_free(pszDescription);
        device.strApi = ApiOf(pDevice, pSink);
        const QString strOpen = pSink ? OpenNameOf(pSink) : QString();
        device.strName =
            device.strApi + ':' + (strOpen.isEmpty() ? device.strDescription : strOpen);
        bDone = visit(device, pSink);
        if (pSink)
            gst_object_unref(pSink);
    }
    g_list_free_full(pDevices, gst_object_unref);
    gst_object_unref(pMonitor);
}

} // namespace

std::vector<CAudioDevices::Device> CAudioDevices::List() {
    std::vector<Device> devices;
    ForEachDevice([&](Device &device, GstElement *) {
        devices.push_back(device);
        return false;
    });
    return devices;
}

GstElement *CAudioDevices::MakeSink(const QString &strSetting, QString &strDescription) {
    GstElement *pFound = nullptr;
    GstElement *pByDescription = nullptr;
    QString strByDescription;
    ForEachDevice([&](Device &device, GstElement *pSink) {
        if (!pSink)
            return false;
        if (device.strName == strSetting) {
            pFound = GST_ELEMENT(gst_object_ref(pSink));
            strDescription = device.strDescription;
            return true;
        }
        if (!pByDescription && device.strDescription == strSetting) {
            pByDescription = GST_ELEMENT(gst_object_ref(pSink));
            strByDescription = device.strDescription;
        }
        return false;
    });
    if (!pFound && pByDescription) {
        pFound = std::exchange(pByDescription, nullptr);
        strDescription = strByDescription;
    }
    if (pByDescription)
        gst_object_unref(pByDescription);
    return pFound;
}

QString CAudioDevices::Format(const std::vector<Device> &devices) {
    QString strText;
    for (const Device &device : devices)
        strText += device.strName + '\t' + device.strApi + '\t' + device.strDescription + '\n';
    return strText;
}
