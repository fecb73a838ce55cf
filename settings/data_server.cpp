#include "settings/data_server.h"

#include "settings/setting_shapes.h"

using S = SettingId;

void getDeviceId(SettingContext& context) {
    getSetting(context, S::DeviceId);
}
void getServerAckFlag(SettingContext& context) {
    getSetting(context, S::ServerAckFlag);
}
void setServerAckFlag(SettingContext& context) {
    setSetting(context, S::ServerAckFlag);
}
void getDataPeriod(SettingContext& context) {
    getSetting(context, S::DataPeriod);
}
void setDataPeriod(SettingContext& context) {
    setSetting(context, S::DataPeriod);
}
void getApn(SettingContext& context) {
    getSetting(context, S::Apn);
}
void setApn(SettingContext& context) {
    setSetting(context, S::Apn);
}
void getMqttBroker(SettingContext& context) {
    getSetting(context, S::MqttBroker);
}
void setMqttBroker(SettingContext& context) {
    setSetting(context, S::MqttBroker);
}
void getMqttUserName(SettingContext& context) {
    getSetting(context, S::MqttUserName);
}
void setMqttUserName(SettingContext& context) {
    setSetting(context, S::MqttUserName);
}
void getMqttPassword(SettingContext& context) {
    getSetting(context, S::MqttPassword);
}
void setMqttPassword(SettingContext& context) {
    setSetting(context, S::MqttPassword);
}
void getMqttPort(SettingContext& context) {
    getSetting(context, S::MqttPort);
}
void setMqttPort(SettingContext& context) {
    setSetting(context, S::MqttPort);
}

void getMqttTopic(SettingContext& context, int index) {
    getPairMember(context, index, S::MqttTopicSub, S::MqttTopicPub);
}
void setMqttTopic(SettingContext& context, int index) {
    setPairMember(context, index, S::MqttTopicSub, S::MqttTopicPub);
}
