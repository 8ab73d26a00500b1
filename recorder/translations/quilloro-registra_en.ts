<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>KeyMedia</name>
    <message>
        <source>Il file non esiste.</source>
        <translation>The file does not exist.</translation>
    </message>
    <message>
        <source>Il file non si può leggere.</source>
        <translation>The file cannot be read.</translation>
    </message>
    <message>
        <source>Il file non contiene un&apos;immagine riconosciuta.</source>
        <translation>The file does not hold a picture I can recognise.</translation>
    </message>
    <message>
        <source>L&apos;immagine è danneggiata o troppo grande.</source>
        <translation>The picture is damaged or too large.</translation>
    </message>
    <message>
        <source>Errore sconosciuto.</source>
        <translation>Unknown error.</translation>
    </message>
    <message>
        <source>non si può creare</source>
        <translation>it cannot be created</translation>
    </message>
    <message>
        <source>non c&apos;è una cartella per le impostazioni</source>
        <translation>there is no folder for the settings</translation>
    </message>
    <message>
        <source>non riesco a creare la cartella %1</source>
        <translation>cannot create the folder %1</translation>
    </message>
    <message>
        <source>non posso scrivere il file %1</source>
        <translation>cannot write the file %1</translation>
    </message>
    <message>
        <source>il file %1 è danneggiato</source>
        <translation>the file %1 is damaged</translation>
    </message>
</context>
<context>
    <name>MediaFiles</name>
    <message>
        <source>Non riesco a scrivere nella cartella %1 (%2). Controlla che esista e che tu possa scriverci; la registrazione o la figura resta qui, pronta da tenere.</source>
        <translation>I cannot write into the folder %1 (%2). Check that it exists and that you may write into it; the recording or the picture stays here, ready to keep.</translation>
    </message>
    <message>
        <source>Non riesco a leggere la figura %1 (%2). Scegli una foto o un disegno in JPEG o PNG.</source>
        <translation>I cannot read the picture %1 (%2). Choose a photo or a drawing in JPEG or PNG.</translation>
    </message>
    <message>
        <source>Non riesco a togliere %1 dalla cartella %2 (%3). Controlla che tu possa scriverci.</source>
        <translation>I cannot remove %1 from the folder %2 (%3). Check that you may write into it.</translation>
    </message>
</context>
<context>
    <name>RecorderWindow</name>
    <message>
        <source>Quilloro: voci e figure</source>
        <translation>Quilloro: voci e figure (voices and pictures)</translation>
    </message>
    <message>
        <source>Scegli un tasto: fai clic sulla sua figura, o scrivi la lettera o il numero.</source>
        <translation>Choose a key: click its picture, or type the letter or the digit.</translation>
    </message>
    <message>
        <source>&amp;Ascolta</source>
        <translation>&amp;Listen</translation>
    </message>
    <message>
        <source>&amp;Registra (Spazio)</source>
        <translation>&amp;Record (Space)</translation>
    </message>
    <message>
        <source>&amp;Tieni (Invio)</source>
        <translation>&amp;Keep (Return)</translation>
    </message>
    <message>
        <source>Ri&amp;prova</source>
        <translation>&amp;Try again</translation>
    </message>
    <message>
        <source>Scegli una &amp;figura… (Ctrl+O)</source>
        <translation>Choose a &amp;picture… (Ctrl+O)</translation>
    </message>
    <message>
        <source>&amp;Voce originale</source>
        <translation>Original &amp;voice</translation>
    </message>
    <message>
        <source>Figura ori&amp;ginale</source>
        <translation>Original pi&amp;cture</translation>
    </message>
    <message>
        <source>Livello del microfono</source>
        <translation>Microphone level</translation>
    </message>
    <message>
        <source>originale</source>
        <translation>original</translation>
    </message>
    <message>
        <source>voce e figura tue</source>
        <translation>your voice and picture</translation>
    </message>
    <message>
        <source>voce tua</source>
        <translation>your voice</translation>
    </message>
    <message>
        <source>figura tua</source>
        <translation>your picture</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Tasto %1, %2</source>
        <translation>Key %1, %2</translation>
    </message>
    <message>
        <source>Voce: %1
Figura: %2</source>
        <translation>Voice: %1
Picture: %2</translation>
    </message>
    <message>
        <source>tua</source>
        <translation>yours</translation>
    </message>
    <message>
        <source>La figura %1 non si legge.</source>
        <translation>The picture %1 cannot be read.</translation>
    </message>
    <message>
        <source>&amp;Ferma (Spazio)</source>
        <translation>&amp;Stop (Space)</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>Prima tieni la registrazione di %1 (Invio) o buttala via (Esc).</source>
        <translation>First keep the recording of %1 (Return) or throw it away (Esc).</translation>
    </message>
    <message>
        <source>Prima tieni la figura di %1 (Invio) o buttala via (Esc).</source>
        <translation>First keep the picture of %1 (Return) or throw it away (Esc).</translation>
    </message>
    <message>
        <source>Sto registrando %1: prima fermati con Spazio.</source>
        <translation>Recording %1: first stop with Space.</translation>
    </message>
    <message>
        <source>%1, come %2. Premi Spazio per registrare la tua voce, Ctrl+O per scegliere una figura.</source>
        <translation>%1, as in %2. Press Space to record your voice, Ctrl+O to choose a picture.</translation>
    </message>
    <message>
        <source>Scegli prima un tasto: fai clic sulla sua figura, o scrivi la lettera o il numero.</source>
        <translation>Choose a key first: click its picture, or type the letter or the digit.</translation>
    </message>
    <message>
        <source>Sto registrando %1: parla ora. Premi Spazio quando hai finito; dopo %2 secondi mi fermo da solo.</source>
        <translation>Recording %1: speak now. Press Space when you have finished; after %2 seconds I stop by myself.</translation>
    </message>
    <message>
        <source>Nella registrazione non si sente nessuna voce, quindi non l&apos;ho tenuta. Controlla che il microfono sia collegato, acceso e non silenziato; poi parla vicino al microfono e riprova.</source>
        <translation>No voice can be heard in the recording, so I did not keep it. Check that the microphone is plugged in, switched on and not muted; then speak close to it and try again.</translation>
    </message>
    <message>
        <source>Nessun microfono trovato: il sistema audio del computer non risponde. Controlla che il suono funzioni (per esempio che un video si senta), poi riprova.</source>
        <translation>No microphone found: the computer&apos;s sound system does not answer. Check that sound works (for instance that a video can be heard), then try again.</translation>
    </message>
    <message>
        <source>Nessun microfono trovato. Controlla che sia collegato e acceso, e che sia scelto come ingresso nelle impostazioni audio del computer; poi riprova.</source>
        <translation>No microphone found. Check that it is plugged in and switched on, and that it is chosen as the input in the computer&apos;s sound settings; then try again.</translation>
    </message>
    <message>
        <source>Il microfono si è scollegato (o è cambiato) durante la registrazione. La voce di %1 è rimasta quella di prima. Ricollega il microfono e riprova.</source>
        <translation>The microphone was unplugged (or changed) during the recording. The voice of %1 is still the one it had. Plug the microphone in again and try again.</translation>
    </message>
    <message>
        <source>Non so dove tenere i tuoi file: la cartella personale (HOME) non è impostata.</source>
        <translation>I do not know where to keep your files: the home folder (HOME) is not set.</translation>
    </message>
    <message>
        <source>Fatto: ora %1 dice la tua voce (%2).</source>
        <translation>Done: %1 now speaks with your voice (%2).</translation>
    </message>
    <message>
        <source>Fatto: ora %1 mostra la tua figura (%2).</source>
        <translation>Done: %1 now shows your picture (%2).</translation>
    </message>
    <message>
        <source>Registrazione interrotta: %1 resta com&apos;era.</source>
        <translation>Recording stopped: %1 stays as it was.</translation>
    </message>
    <message>
        <source>Registrazione buttata via: %1 resta com&apos;era.</source>
        <translation>Recording thrown away: %1 stays as it was.</translation>
    </message>
    <message>
        <source>Figura buttata via: %1 resta com&apos;era.</source>
        <translation>Picture thrown away: %1 stays as it was.</translation>
    </message>
    <message>
        <source>Per %1 non c&apos;è nessuna registrazione da ascoltare (%2).</source>
        <translation>There is no recording to listen to for %1 (%2).</translation>
    </message>
    <message>
        <source>Figure (%1)</source>
        <translation>Pictures (%1)</translation>
    </message>
    <message>
        <source>Tutti i file (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>Scegli una figura per %1</source>
        <translation>Choose a picture for %1</translation>
    </message>
    <message>
        <source>Ecco la figura per %1 (%2 × %3). Premi Invio per tenerla, Esc per buttarla via.</source>
        <translation>Here is the picture for %1 (%2 × %3). Press Return to keep it, Esc to throw it away.</translation>
    </message>
    <message>
        <source>%1 ha già la voce originale.</source>
        <translation>%1 already has its original voice.</translation>
    </message>
    <message>
        <source>%1 ha già la figura originale.</source>
        <translation>%1 already has its original picture.</translation>
    </message>
    <message>
        <source>Togliere la tua voce per %1? Tornerà quella originale.</source>
        <translation>Remove your voice for %1? The original one comes back.</translation>
    </message>
    <message>
        <source>Togliere la tua figura per %1? Tornerà quella originale.</source>
        <translation>Remove your picture for %1? The original one comes back.</translation>
    </message>
    <message>
        <source>Tornare all&apos;originale</source>
        <translation>Back to the original</translation>
    </message>
    <message>
        <source>Ora %1 ha di nuovo la voce originale.</source>
        <translation>%1 has its original voice again.</translation>
    </message>
    <message>
        <source>Ora %1 ha di nuovo la figura originale.</source>
        <translation>%1 has its original picture again.</translation>
    </message>
    <message>
        <source>Chiudere?</source>
        <translation>Close?</translation>
    </message>
    <message>
        <source>figura illeggibile</source>
        <translation>picture unreadable</translation>
    </message>
    <message>
        <source>La registrazione di %1 non l&apos;hai ancora tenuta. Chiudere e buttarla via?</source>
        <translation>You have not kept the recording of %1 yet. Close and throw it away?</translation>
    </message>
    <message>
        <source>La figura di %1 non l&apos;hai ancora tenuta. Chiudere e buttarla via?</source>
        <translation>You have not kept the picture of %1 yet. Close and throw it away?</translation>
    </message>
    <message>
        <source>La registrazione è troppo breve, quindi non l&apos;ho tenuta. Per registrare fai clic su Registra (o premi Spazio), parla, e solo quando hai finito fai clic su Ferma (o premi di nuovo Spazio).</source>
        <translation>The recording is too short, so I did not keep it. To record, click Record (or press Space), speak, and only when you have finished click Stop (or press Space again).</translation>
    </message>
    <message>
        <source>Ecco la registrazione di %1 (%2 secondi). Premi Invio per tenerla, Esc per buttarla via, o Riprova per registrarla di nuovo.</source>
        <translation>Here is the recording of %1 (%2 seconds). Press Enter to keep it, Escape to throw it away, or Try again to record it again.</translation>
    </message>
    <message>
        <source>&amp;Butta via (Esc)</source>
        <translation>Thro&amp;w away (Esc)</translation>
    </message>
    <message>
        <source>Un momento: preparo il microfono per %1. Parla quando te lo dico.</source>
        <translation>One moment: I am getting the microphone ready for %1. Speak when I tell you.</translation>
    </message>
    <message>
        <source>Attività</source>
        <translation>Activity</translation>
    </message>
    <message>
        <source>Esplora i tasti</source>
        <translation>Explore the keys</translation>
    </message>
    <message>
        <source>Ogni tasto premuto si vede e si sente.</source>
        <translation>Every key pressed is seen and heard.</translation>
    </message>
    <message>
        <source>Ascolta e trova</source>
        <translation>Listen and find</translation>
    </message>
    <message>
        <source>Il programma dice un tasto e il bambino lo cerca sulla tastiera.</source>
        <translation>The program says a key and the child looks for it on the keyboard.</translation>
    </message>
    <message>
        <source>Lettere maiuscole</source>
        <translation>Capital letters</translation>
    </message>
    <message>
        <source>Le lettere si vedono maiuscole, come a scuola.</source>
        <translation>Letters are shown as capitals, as at school.</translation>
    </message>
    <message>
        <source>Schermo intero</source>
        <translation>Full screen</translation>
    </message>
    <message>
        <source>La lezione occupa tutto lo schermo.</source>
        <translation>The lesson fills the whole screen.</translation>
    </message>
    <message>
        <source>Blocco bambino</source>
        <translation>Child lock</translation>
    </message>
    <message>
        <source>Esc non chiude: per uscire si scrive esci.</source>
        <translation>Escape does not close it: to leave, type esci.</translation>
    </message>
    <message>
        <source>Scelta salvata: la lezione aperta la segue subito.</source>
        <translation>Choice saved: an open lesson follows it at once.</translation>
    </message>
    <message>
        <source>Non riesco a salvare la scelta: %1.</source>
        <translation>Cannot save the choice: %1.</translation>
    </message>
    <message>
        <source>Hai scelto %1. Premi Spazio per registrare la tua voce.</source>
        <translation>You chose %1. Press Space to record your voice.</translation>
    </message>
    <message>
        <source>%1 è solo una voce: non ha una figura da scegliere o da togliere.</source>
        <translation>%1 is a voice alone: it has no picture to choose or take away.</translation>
    </message>
    <message>
        <source>Fatto: ora %1 si sente con la tua voce (%2).</source>
        <translation>Done: %1 is now heard in your voice (%2).</translation>
    </message>
    <message>
        <source>Bravo!</source>
        <translation>Well done!</translation>
    </message>
    <message>
        <source>Riprova</source>
        <translation>Try again</translation>
    </message>
    <message>
        <source>«%1»</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source>Nel gioco Ascolta e trova, «Bravo!» si sente quando il bambino preme il tasto giusto. È solo una voce, senza figura.</source>
        <translation>In the game Ascolta e trova (Listen and find), “Well done!” is heard when the child presses the right key. It is a voice alone, with no picture.</translation>
    </message>
    <message>
        <source>Nel gioco Ascolta e trova, «Riprova» si sente quando il bambino preme un altro tasto: meglio dirlo con dolcezza. È solo una voce, senza figura.</source>
        <translation>In the game Ascolta e trova (Listen and find), “Try again” is heard when the child presses another key: best said gently. It is a voice alone, with no picture.</translation>
    </message>
    <message>
        <source>Voce: %1</source>
        <translation>Voice: %1</translation>
    </message>
    <message>
        <source>Suono %1, %2</source>
        <translation>Sound %1, %2</translation>
    </message>
</context>
</TS>
