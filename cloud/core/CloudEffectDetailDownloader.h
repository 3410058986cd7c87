#pragma once

#include <cstdint>
#include <string>

#include "ThreadObject.h"

class CTreeData;
class INotifyCenter;

// Downloads one cloud effect into userDir/CloudEff/<category>/<file> on its own thread and
// posts EventCommonThreadFinishEvent (tag kTag) with itself, the leaf, the result and the
// error text. The leaf only identifies the entry: its texts are copied at construction and
// the worker never touches it, so the tree may change while the download runs.
class CCloudEffectDetailDownloader : public CThreadObject {
  public:
    static constexpr int32_t kTag = 0x4345;  // marks a cloud effect download

    // leaf: a cloud entry (path = download URL) under its category node.
    CCloudEffectDetailDownloader(INotifyCenter& center, CTreeData* leaf, std::string userDir,
                                 const void* sender = nullptr);
    ~CCloudEffectDetailDownloader() override;

    // The leaf's texts as they were at construction (the tree may have been cleared since).
    CTreeData* Leaf() const { return m_leaf; }
    const std::u16string& Name() const { return m_name; }
    const std::u16string& Category() const { return m_category; }
    const std::u16string& Url() const { return m_url; }
    const std::string& LocalPath() const { return m_localPath; }

    // The download itself, blocking: 1, or 0 with the error text. The file arrives under a
    // temporary name in the same folder and takes its own name only when complete, so a
    // failure leaves no file at localPath. The download index records the outcome.
    static int Download(const std::string& userDir, const std::u16string& category,
                        const std::u16string& url, std::string& localPath, std::string& error);

  protected:
    void Run() override;

  private:
    INotifyCenter& m_center;
    CTreeData* m_leaf;
    std::string m_userDir;
    std::u16string m_name;
    std::u16string m_category;
    std::u16string m_url;
    std::string m_localPath;
    const void* m_sender;
};
