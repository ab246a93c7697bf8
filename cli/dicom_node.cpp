#include "cli/dicom_node.h"

// DCMTK's configuration header comes first, as its headers require.
#include <dcmtk/config/osconfig.h>

#include <arpa/inet.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/dimse.h>
#include <dcmtk/dcmnet/dul.h>
#include <dcmtk/dcmnet/scpthrd.h>
#include <dcmtk/oflog/oflog.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <list>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <thread>

#include "dose_report/dicom_text.h"
#include "engine/errors.h"
#include "engine/text_rules.h"

namespace korvex::cli {
namespace {

constexpr std::string_view kUidPadding(" \0", 2);
constexpr const char* kDoseReportRoot = "113701";  // DCM "X-Ray Radiation Dose Report"
// Larger PDUs than DCMTK's default of 16 kB: a report of a few hundred kB in fewer rounds.
constexpr Uint32 kMaxReceivePdu = 128 * 1024;

std::string Value(DcmItem& item, const DcmTagKey& tag) {
    OFString value;
    if (item.findAndGetOFString(tag, value).bad()) {
        return {};
    }
    return std::string(Trimmed(std::string_view(value.c_str(), value.length()), kUidPadding));
}

std::string ClassName(const std::string& uid) {
    return std::string(dcmFindNameOfUID(uid.c_str(), "unknown class")) + " (" + uid + ")";
}

bool IsAccepted(const std::string& uid) {
    for (const AcceptedClass& accepted : AcceptedDoseReportClasses()) {
        if (uid == accepted.uid) {
            return true;
        }
    }
    return uid == UID_VerificationSOPClass;
}

// The object as a DICOM file (explicit VR little endian, with its meta header).
std::string Encode(DcmFileFormat& file) {
    const E_TransferSyntax xfer = EXS_LittleEndianExplicit;
    size_t capacity = file.calcElementLength(xfer, EET_ExplicitLength) + 64 * 1024;
    for (int attempt = 0; attempt < 3; ++attempt, capacity *= 2) {
        std::string buffer(capacity, '\0');
        DcmOutputBufferStream stream(buffer.data(), static_cast<offile_off_t>(buffer.size()));
        file.transferInit();
        const OFCondition written = file.write(stream, xfer, EET_ExplicitLength, nullptr);
        file.transferEnd();
        if (written.good()) {
            void* data = nullptr;
            offile_off_t length = 0;
            stream.flushBuffer(data, length);
            buffer.resize(static_cast<size_t>(length));
            return buffer;
        }
        if (written != EC_StreamNotifyClient) {
            break;
        }
    }
    return {};
}

struct NodeParts {
    const NetworkOptions& options;
    const Spool& spool;
    NodeLog& log;
    const std::function<void(const std::string&)>& stored;
};

// One association: checks, spools and acknowledges each object.
class Receiver : public DcmThreadSCP {
  public:
    explicit Receiver(const NodeParts& parts) : parts_(parts) {}

  protected:
    OFCondition handleIncomingCommand(T_DIMSE_Message* message,
                                      const DcmPresentationContextInfo& info) override {
        if (message->CommandField != DIMSE_C_STORE_RQ) {
            return DcmThreadSCP::handleIncomingCommand(message, info);
        }
        return HandleStore(message->msg.CStoreRQ, info.presentationContextID);
    }

    OFBool checkCalledAETitleAccepted(const OFString& called) override {
        if (called == parts_.options.ae_title.c_str()) {
            return OFTrue;
        }
        parts_.log.Say("association refused: called AE title '" + std::string(called.c_str()) +
                       "' is not this node's ('" + parts_.options.ae_title + "')");
        return OFFalse;
    }

    OFBool checkCallingAETitleAccepted(const OFString& calling) override {
        const std::vector<std::string>& allowed = parts_.options.allowed;
        if (allowed.empty()) {
            return OFTrue;
        }
        for (const std::string& title : allowed) {
            if (calling == title.c_str()) {
                return OFTrue;
            }
        }
        parts_.log.Say("association refused: calling AE title '" + std::string(calling.c_str()) +
                       "' is not allowed (--allow)");
        return OFFalse;
    }

    void notifyAssociationRequest(const T_ASC_Parameters& params,
                                  DcmSCPActionType& /*action*/) override {
        const std::string from = std::string(params.DULparams.callingAPTitle) + "@" +
                                 params.DULparams.callingPresentationAddress;
        parts_.log.Say("association request from " + from);
        auto* request = const_cast<T_ASC_Parameters*>(&params);
        std::vector<std::string> refused;
        for (int i = 0; i < ASC_countPresentationContexts(request); ++i) {
            T_ASC_PresentationContext context;
            if (ASC_getPresentationContext(request, i, &context).good() &&
                !IsAccepted(context.abstractSyntax) &&
                std::find(refused.begin(), refused.end(), context.abstractSyntax) ==
                    refused.end()) {
                refused.push_back(context.abstractSyntax);
            }
        }
        if (!refused.empty()) {
            // One line per association: a sender may propose every class it knows.
            std::string names;
            for (size_t i = 0; i < refused.size() && i < 5; ++i) {
                names += (i == 0 ? "" : ", ") + ClassName(refused[i]);
            }
            if (refused.size() > 5) {
                names += " and " + std::to_string(refused.size() - 5) + " more";
            }
            parts_.log.Say("refused at negotiation from " + from +
                           ", no dose report class: " + names);
        }
    }

    void notifyRECEIVEProgress(const unsigned long bytes) override {
        if (bytes > parts_.options.max_object_bytes && !too_large_) {
            // The rest is not read: an object this large would only fill the disk.
            too_large_ = true;
            abortAssociation();
        }
    }

  private:
    std::string Peer() { return std::string(getPeerAETitle().c_str()) + "@" + getPeerIP().c_str(); }

    OFCondition HandleStore(T_DIMSE_C_StoreRQ& request, T_ASC_PresentationContextID id) {
        too_large_ = false;
        DcmDataset* received = nullptr;
        const OFCondition status = receiveSTORERequest(request, id, received);
        std::unique_ptr<DcmDataset> dataset(received);
        const std::string object = std::string(request.AffectedSOPInstanceUID) + " from " + Peer();
        if (too_large_) {
            parts_.log.Say("refused " + object + ": larger than the limit of " +
                           std::to_string(parts_.options.max_object_bytes) +
                           " bytes (association aborted)");
            return status.bad() ? status : EC_Normal;
        }
        if (status.bad() || dataset == nullptr) {
            parts_.log.Say("refused " + object + ": the data set could not be read (" +
                           status.text() + ") (status 0xC000)");
            // A data set cut short in its last fragment leaves the association in step.
            return sendSTOREResponse(id, request, STATUS_STORE_Error_CannotUnderstand);
        }
        parts_.log.Say("received " + object + " (" + ClassName(request.AffectedSOPClassUID) + ")");
        std::string outcome;
        const Uint16 answer = Keep(request, dataset.release(), outcome);
        parts_.log.Say(outcome);
        return sendSTOREResponse(id, request, answer);
    }

    Uint16 Keep(const T_DIMSE_C_StoreRQ& request, DcmDataset* received, std::string& outcome);

    const NodeParts& parts_;
    bool too_large_ = false;
};

Uint16 Receiver::Keep(const T_DIMSE_C_StoreRQ& request, DcmDataset* received,
                      std::string& outcome) {
    DcmFileFormat file(received, OFFalse);  // takes the data set over
    DcmDataset& data = *file.getDataset();
    const std::string sop = Value(data, DCM_SOPInstanceUID);
    const std::string study = Value(data, DCM_StudyInstanceUID);
    const std::string refused = "refused " + sop + " from " + Peer() + ": ";
    if (Value(data, DCM_SOPClassUID) != request.AffectedSOPClassUID ||
        sop != request.AffectedSOPInstanceUID) {
        outcome =
            refused + "its SOP class or instance UID differs from the request's (status 0xA900)";
        return STATUS_STORE_Error_DataSetDoesNotMatchSOPClass;
    }
    if (!IsValidUid(sop) || !IsValidUid(study)) {
        outcome = refused + "no valid SOP instance UID or Study Instance UID (status 0xC000)";
        return STATUS_STORE_Error_CannotUnderstand;
    }
    DcmItem* concept_name = nullptr;
    data.findAndGetSequenceItem(DCM_ConceptNameCodeSequence, concept_name, 0);
    if (concept_name == nullptr || Value(*concept_name, DCM_CodeValue) != kDoseReportRoot) {
        outcome = refused + "not an X-ray radiation dose report (status 0xC000)";
        return STATUS_STORE_Error_CannotUnderstand;
    }
    DcmItem* content = nullptr;
    data.findAndGetSequenceItem(DCM_ContentSequence, content, 0);
    if (content == nullptr) {
        outcome = refused + "a dose report without content, cut short? (status 0xC000)";
        return STATUS_STORE_Error_CannotUnderstand;
    }
    DcmMetaInfo& meta = *file.getMetaInfo();
    meta.putAndInsertString(DCM_SendingApplicationEntityTitle, getPeerAETitle().c_str());
    meta.putAndInsertString(DCM_SourceApplicationEntityTitle, parts_.options.ae_title.c_str());
    const std::string bytes = Encode(file);
    if (bytes.empty() || bytes.size() > parts_.options.max_object_bytes) {
        outcome = refused + (bytes.empty() ? "it could not be encoded" : "larger than the limit") +
                  " (status 0xA700)";
        return STATUS_STORE_Refused_OutOfResources;
    }
    try {
        if (parts_.spool.Store(study, sop, bytes) == Spool::Stored::AlreadyThere) {
            outcome = "already stored, kept once: " + sop + " (study " + study + ")";
            return STATUS_Success;
        }
    } catch (const FileError& error) {
        outcome = refused + "not stored: " + error.what() + " (status 0xA700)";
        return STATUS_STORE_Refused_OutOfResources;
    }
    outcome =
        "stored " + sop + " (study " + study + ", " + std::to_string(bytes.size()) + " bytes)";
    parts_.stored(study);
    return STATUS_Success;
}

DcmSharedSCPConfig ConfigFor(const NetworkOptions& options) {
    DcmSharedSCPConfig config;
    config->setAETitle(options.ae_title.c_str());
    config->setRespondWithCalledAETitle(OFFalse);
    config->setACSETimeout(static_cast<Uint32>(options.timeout_seconds));
    config->setDIMSETimeout(static_cast<Uint32>(options.timeout_seconds));
    config->setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    config->setProgressNotificationMode(OFTrue);
    config->setHostLookupEnabled(OFFalse);
    config->setMaxReceivePDULength(kMaxReceivePdu);
    OFList<OFString> syntaxes;
    for (const char* syntax :
         {UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax,
          UID_BigEndianExplicitTransferSyntax}) {
        syntaxes.push_back(syntax);
    }
    config->addPresentationContext(UID_VerificationSOPClass, syntaxes);
    for (const AcceptedClass& accepted : AcceptedDoseReportClasses()) {
        config->addPresentationContext(accepted.uid, syntaxes);
    }
    return config;
}

// A listening socket on the asked address; DCMTK opens none of its own, so that the node
// listens only where the administrator says.
int OpenListener(const NetworkOptions& options, int& port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(options.port);
    if (getaddrinfo(options.bind.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        throw std::runtime_error("--bind " + options.bind + " is no address of this machine");
    }
    const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    const bool ok = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
                    bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, 64) == 0;
    freeaddrinfo(found);
    if (!ok) {
        const std::string reason = std::error_code(errno, std::generic_category()).message();
        if (fd >= 0) {
            close(fd);
        }
        throw std::runtime_error("cannot listen on " + options.bind + ":" + service + " (" +
                                 reason + ")");
    }
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port =
        ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                            : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return fd;
}

struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
};

void JoinFinished(std::list<Worker>& workers, bool all) {
    for (auto it = workers.begin(); it != workers.end();) {
        if (all || it->done->load()) {
            it->thread.join();
            it = workers.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace

void NodeLog::Say(const std::string& line) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    const std::lock_guard<std::mutex> lock(mutex_);
    out_ << stamp << ' ' << name_ << ": " << line << std::endl;
}

const std::vector<AcceptedClass>& AcceptedDoseReportClasses() {
    static const std::vector<AcceptedClass> classes = {
        {UID_XRayRadiationDoseSRStorage, "X-Ray Radiation Dose SR"},
        {UID_EnhancedSRStorage, "Enhanced SR"},
        {UID_ComprehensiveSRStorage, "Comprehensive SR"},
        {UID_Comprehensive3DSRStorage, "Comprehensive 3D SR"},
    };
    return classes;
}

void RunStorageNode(const NetworkOptions& options, const Spool& spool, NodeLog& log,
                    const std::function<void(const std::string& study_uid)>& stored,
                    const std::function<void(int port)>& listening, const std::atomic<bool>& stop) {
    OFLog::configure(OFLogger::OFF_LOG_LEVEL);
    int port = 0;
    const int listener = OpenListener(options, port);
    // With an outside socket set, the network opens no listening port of its own.
    dcmExternalSocketHandle.set(listener);
    T_ASC_Network* network = nullptr;
    const OFCondition made =
        ASC_initializeNetwork(NET_ACCEPTOR, 0, options.timeout_seconds, &network);
    dcmExternalSocketHandle.set(-1);
    if (made.bad()) {
        close(listener);
        throw std::runtime_error(std::string("DICOM network not started: ") + made.text());
    }
    const DcmSharedSCPConfig config = ConfigFor(options);
    const NodeParts parts{options, spool, log, stored};
    listening(port);
    std::list<Worker> workers;
    while (!stop.load()) {
        JoinFinished(workers, false);
        if (static_cast<int>(workers.size()) >= options.max_associations) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the rest wait queued
            continue;
        }
        pollfd ready{listener, POLLIN, 0};
        if (poll(&ready, 1, 200) <= 0) {
            continue;
        }
        const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        // As DCMTK does for the sockets it opens itself: without it each small response
        // waits for the peer's delayed acknowledgement (some 40 ms an object).
        const int no_delay = 1;
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &no_delay, sizeof no_delay);
        dcmExternalSocketHandle.set(connection);
        T_ASC_Association* association = nullptr;
        const OFCondition received =
            ASC_receiveAssociation(network, &association, kMaxReceivePdu, nullptr, nullptr, OFFalse,
                                   DUL_NOBLOCK, options.timeout_seconds);
        dcmExternalSocketHandle.set(-1);
        if (received.bad()) {
            log.Say(std::string("connection dropped before an association: ") + received.text());
            if (association != nullptr) {
                ASC_dropAssociation(association);
                ASC_destroyAssociation(&association);
            }
            continue;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers.push_back({std::thread([&parts, &config, association, done] {
                               Receiver receiver(parts);
                               receiver.setSharedConfig(config);
                               receiver.run(association);
                               done->store(true);
                           }),
                           done});
    }
    JoinFinished(workers, true);
    ASC_dropNetwork(&network);
    close(listener);
}

}  // namespace korvex::cli
