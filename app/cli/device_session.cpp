#include "app/cli/device_session.h"

#include "ports/port_directory.h"
#include "ports/port_spec.h"

bool openSession(const SessionTarget& target, DeviceSession& session, std::string& error) {
    if (target.simulate) {
        session.simulator = std::make_unique<DeviceSimulator>();
        for (const std::string& spec : target.simFaults) {
            CommandCode code = 0;
            SimFault fault;
            int times = 1;
            if (!parseFaultSpec(spec, code, fault, times, error)) {
                error = "bad --sim-fault '" + spec + "': " + error;
                return false;
            }
            session.simulator->scriptFault(code, fault, times);
        }
        session.simulated = std::make_unique<SimulatorChannel>(*session.simulator);
        initDeviceLink(session.link, session.simulated.get());
        return true;
    }
    if (!resolvePortSpec(target.port, listPorts(), session.portName, error)) {
        return false;
    }
    session.serial = std::make_unique<SerialChannel>();
    if (!session.serial->openPort(devicePathForPort(session.portName))) {
        error = "cannot open port " + session.portName +
                " (missing, in use by another program, or no permission)";
        return false;
    }
    initDeviceLink(session.link, session.serial.get());
    return true;
}

void closeSession(DeviceSession& session) {
    if (session.serial) {
        session.serial->closePort();
    }
}
