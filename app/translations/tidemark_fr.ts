<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>Tidemark</name>
    <message>
        <source>Waiting for Zoom stream to become available…</source>
        <translation>En attente du flux Zoom…</translation>
    </message>
    <message>
        <source>Waiting for a meeting&apos;s media stream to become available…</source>
        <translation>En attente du flux média d&apos;une réunion…</translation>
    </message>
    <message>
        <source>Looking up where the media server stands…</source>
        <translation>Recherche de l&apos;emplacement du serveur média…</translation>
    </message>
    <message>
        <source>Looking up whose land that is…</source>
        <translation>Recherche du territoire sur lequel il se trouve…</translation>
    </message>
    <message>
        <source>There was an error fetching IP data: %1.</source>
        <translation>Erreur lors de l&apos;obtention des données IP&#xa0;: %1.</translation>
    </message>
    <message>
        <source>There was an error fetching territory data: %1.</source>
        <translation>Erreur lors de l&apos;obtention des données territoriales&#xa0;: %1.</translation>
    </message>
    <message>
        <source>the service&apos;s answer was not valid data</source>
        <translation>la réponse du service ne contenait pas de données valides</translation>
    </message>
    <message>
        <source>Saved answer from %1; %2</source>
        <translation>Réponse enregistrée le %1; %2</translation>
    </message>
    <message>
        <source>the service could not be reached.</source>
        <translation>le service est injoignable.</translation>
    </message>
    <message>
        <source>the service refused the request (see Settings).</source>
        <translation>le service a refusé la requête (voir Paramètres).</translation>
    </message>
    <message>
        <source>The service&apos;s request limit is reached; Tidemark will try again at %1.</source>
        <translation>La limite de requêtes du service est atteinte; Tidemark réessaiera à %1.</translation>
    </message>
    <message>
        <source>the service&apos;s request limit is reached.</source>
        <translation>la limite de requêtes du service est atteinte.</translation>
    </message>
    <message>
        <source>the service&apos;s answer was not valid data.</source>
        <translation>la réponse du service ne contenait pas de données valides.</translation>
    </message>
    <message>
        <source>the service could not be reached (is this computer offline?)</source>
        <translation>le service est injoignable (cet ordinateur est-il hors ligne?)</translation>
    </message>
    <message>
        <source>the service did not answer in time</source>
        <translation>le service n&apos;a pas répondu à temps</translation>
    </message>
    <message>
        <source>the service&apos;s answer was too large</source>
        <translation>la réponse du service était trop volumineuse</translation>
    </message>
    <message>
        <source>the service sent the request on to an address Tidemark does not follow</source>
        <translation>le service a renvoyé la requête vers une adresse que Tidemark ne suit pas</translation>
    </message>
    <message>
        <source>the service&apos;s answer broke off</source>
        <translation>la réponse du service a été interrompue</translation>
    </message>
    <message>
        <source>the service answered with status %1</source>
        <translation>le service a répondu avec le code %1</translation>
    </message>
    <message>
        <source>Tidemark needs an API key for the territory service before it can ask it anything. Enter one in Settings (free from the service&apos;s site).</source>
        <translation>Tidemark a besoin d&apos;une clé d&apos;API du service des territoires avant de pouvoir l&apos;interroger. Saisissez-en une dans les Paramètres (gratuite sur le site du service).</translation>
    </message>
    <message>
        <source>The territory service refused the request: it needs a valid API key. Enter one in Settings (free from the service&apos;s site).</source>
        <translation>Le service des territoires a refusé la requête&#xa0;: il lui faut une clé d&apos;API valide. Saisissez-en une dans les Paramètres (gratuite sur le site du service).</translation>
    </message>
    <message>
        <source>The IP-information service refused the request: its token is not valid. Enter another in Settings, or leave it empty.</source>
        <translation>Le service d&apos;information IP a refusé la requête&#xa0;: son jeton n&apos;est pas valide. Saisissez-en un autre dans les Paramètres, ou laissez le champ vide.</translation>
    </message>
    <message>
        <source>Learn about Native Land</source>
        <translation>En savoir plus sur Native Land</translation>
    </message>
    <message>
        <source>%1 to your computer is coming from a server with the IP address %2, based in %3, %4, %5. The land on which that server sits is the traditional territory of the following people:</source>
        <translation>%1 vers votre ordinateur provient d&apos;un serveur à l&apos;adresse IP %2, situé à %3, %4, %5. La terre sur laquelle se trouve ce serveur est le territoire traditionnel des peuples suivants&#xa0;:</translation>
    </message>
    <message>
        <source>%1 to your computer is coming from a server with the IP address %2, based in %3, %4, %5. The land on which that server sits is not known to be the traditional territory of any people. To learn more, please click here:</source>
        <translation>%1 vers votre ordinateur provient d&apos;un serveur à l&apos;adresse IP %2, situé à %3, %4, %5. On ne sait pas de quel peuple la terre sur laquelle se trouve ce serveur est le territoire traditionnel. Pour en savoir plus, cliquez ici&#xa0;:</translation>
    </message>
    <message>
        <source>Invalid URL</source>
        <translation>adresse Web non valide</translation>
    </message>
    <message>
        <source>Tidemark requires your permission to capture Zoom data packets. Please follow the on-screen prompts.</source>
        <translation>Tidemark a besoin de votre autorisation pour capturer les paquets de données de Zoom. Veuillez suivre les instructions à l&apos;écran.</translation>
    </message>
    <message>
        <source>There was an error getting permission.</source>
        <translation>Erreur lors de l&apos;obtention de l&apos;autorisation.</translation>
    </message>
    <message>
        <source>To see where your meeting&apos;s media stream comes from, Tidemark&apos;s capture helper needs the right to capture network packets (one capability, not administrator access). Your administrator password may be asked for.

Click OK to grant it, or Cancel to keep Tidemark open without capturing (Try Again asks again).</source>
        <translation>Pour voir d&apos;où vient le flux média de votre réunion, l&apos;assistant de capture de Tidemark a besoin du droit de capturer des paquets réseau (une seule capacité, pas un accès administrateur). Votre mot de passe d&apos;administrateur pourrait vous être demandé.

Cliquez sur OK pour l&apos;accorder, ou sur Annuler pour garder Tidemark ouvert sans capture (Réessayer vous le demandera de nouveau).</translation>
    </message>
    <message>
        <source>You chose Cancel: Tidemark is not capturing. Choose Try Again to be asked again.</source>
        <translation>Vous avez choisi Annuler&#xa0;: Tidemark ne capture rien. Choisissez Réessayer pour que la question vous soit posée de nouveau.</translation>
    </message>
    <message>
        <source>pkexec is not installed: install the pkexec package.</source>
        <translation>pkexec n&apos;est pas installé&#xa0;: installez le paquet pkexec.</translation>
    </message>
    <message>
        <source>The request was dismissed: the right was not granted.</source>
        <translation>La demande a été fermée&#xa0;: le droit n&apos;a pas été accordé.</translation>
    </message>
    <message>
        <source>The system&apos;s authorisation service (polkit) is not running.</source>
        <translation>Le service d&apos;autorisation du système (polkit) n&apos;est pas en marche.</translation>
    </message>
    <message>
        <source>Not authorised: the password was not accepted, or this user may not grant the right.</source>
        <translation>Non autorisé&#xa0;: le mot de passe a été refusé, ou cet utilisateur ne peut pas accorder ce droit.</translation>
    </message>
    <message>
        <source>No authentication agent is running in this session: run pkexec %1 in a terminal.</source>
        <translation>Aucun agent d&apos;authentification n&apos;est actif dans cette session&#xa0;: exécutez pkexec %1 dans un terminal.</translation>
    </message>
    <message>
        <source>Tidemark&apos;s capture helper (tidemark-capture) is missing: install the tidemark package, or build it with cmake --build build --target tidemark-capture. Then choose Try Again.</source>
        <translation>L&apos;assistant de capture de Tidemark (tidemark-capture) est absent&#xa0;: installez le paquet tidemark, ou compilez-le avec cmake --build build --target tidemark-capture. Choisissez ensuite Réessayer.</translation>
    </message>
    <message>
        <source>Tidemark&apos;s capture helper needs the capture right once. In a terminal, run: sudo setcap cap_net_raw+ep %1 and then choose Try Again.</source>
        <translation>L&apos;assistant de capture de Tidemark a besoin une seule fois du droit de capture. Dans un terminal, exécutez&#xa0;: sudo setcap cap_net_raw+ep %1 puis choisissez Réessayer.</translation>
    </message>
    <message>
        <source>Tidemark&apos;s capture helper may only be run by the members of the %1 group. Ask an administrator to add you to the %1 group: sudo adduser %2 %1 (then log in again), and choose Try Again.</source>
        <translation>Seuls les membres du groupe %1 peuvent exécuter l&apos;assistant de capture de Tidemark. Demandez à un administrateur de vous ajouter au groupe %1&#xa0;: sudo adduser %2 %1 (puis reconnectez-vous), et choisissez Réessayer.</translation>
    </message>
    <message>
        <source>The permission script said: %1</source>
        <translation>Le script d&apos;autorisation a répondu&#xa0;: %1</translation>
    </message>
    <message>
        <source>Capture failed: there is no network interface named %1. Start Tidemark without --interface to capture on all of them.</source>
        <translation>Échec de la capture&#xa0;: il n&apos;y a pas d&apos;interface réseau nommée %1. Démarrez Tidemark sans --interface pour capturer sur toutes les interfaces.</translation>
    </message>
    <message>
        <source>Capture failed on %1: %2</source>
        <translation>Échec de la capture sur %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>The Zoom stream</source>
        <translation>Le flux Zoom</translation>
    </message>
    <message>
        <source>The Microsoft Teams stream</source>
        <translation>Le flux Microsoft Teams</translation>
    </message>
    <message>
        <source>The Google Meet stream</source>
        <translation>Le flux Google Meet</translation>
    </message>
    <message>
        <source>The Webex stream</source>
        <translation>Le flux Webex</translation>
    </message>
    <message>
        <source>The Jitsi Meet stream</source>
        <translation>Le flux Jitsi Meet</translation>
    </message>
    <message>
        <source>The stream from a meeting service&apos;s relay</source>
        <translation>Le flux du relais d&apos;un service de réunion</translation>
    </message>
    <message>
        <source>The update feed address is not valid.</source>
        <translation>L&apos;adresse du flux de mises à jour n&apos;est pas valide.</translation>
    </message>
    <message>
        <source>Could not check for updates: %1</source>
        <translation>Impossible de rechercher des mises à jour&#xa0;: %1</translation>
    </message>
    <message>
        <source>The update feed could not be read.</source>
        <translation>Le flux de mises à jour est illisible.</translation>
    </message>
    <message>
        <source>Tidemark %1 is available (you have %2).</source>
        <translation>Tidemark %1 est disponible (vous avez la version %2).</translation>
    </message>
    <message>
        <source>Tidemark %1 is the newest version.</source>
        <translation>Tidemark %1 est la version la plus récente.</translation>
    </message>
    <message>
        <source>Tidemark %1. Commands: r = try again, s [file] = save the log, c = copy the acknowledgement, h [n] = recent acknowledgements, l = show the log, q = quit.</source>
        <translation>Tidemark %1. Commandes&#xa0;: r = réessayer, s [fichier] = enregistrer le journal, c = copier la reconnaissance, h [n] = reconnaissances récentes, l = afficher le journal, q = quitter.</translation>
    </message>
    <message>
        <source>(unknown version)</source>
        <translation>(version inconnue)</translation>
    </message>
    <message>
        <source>Learn more about territory acknowledgements: %1</source>
        <translation>En savoir plus sur les reconnaissances territoriales&#xa0;: %1</translation>
    </message>
    <message>
        <source>Input closed: Ctrl+C quits.</source>
        <translation>Entrée fermée&#xa0;: Ctrl+C pour quitter.</translation>
    </message>
    <message>
        <source>Authentication in progress…</source>
        <translation>Authentification en cours…</translation>
    </message>
    <message>
        <source>Nothing to try again.</source>
        <translation>Rien à réessayer.</translation>
    </message>
    <message>
        <source>Saved the log to %1</source>
        <translation>Journal enregistré dans %1</translation>
    </message>
    <message>
        <source>Commands: r = try again, s [file] = save the log, c = copy the acknowledgement, h [n] = recent acknowledgements, l = show the log, q = quit.</source>
        <translation>Commandes&#xa0;: r = réessayer, s [fichier] = enregistrer le journal, c = copier la reconnaissance, h [n] = reconnaissances récentes, l = afficher le journal, q = quitter.</translation>
    </message>
    <message>
        <source>No acknowledgement has been shown yet.</source>
        <translation>Aucune reconnaissance n&apos;a encore été affichée.</translation>
    </message>
    <message>
        <source>Type h and a number to copy that one.</source>
        <translation>Tapez h suivi d&apos;un numéro pour copier celle-ci.</translation>
    </message>
    <message>
        <source>There is no acknowledgement %1: type h to list them.</source>
        <translation>Il n&apos;y a pas de reconnaissance %1&#xa0;: tapez h pour les lister.</translation>
    </message>
    <message>
        <source>Nothing to copy yet: there is no acknowledgement.</source>
        <translation>Rien à copier pour l&apos;instant&#xa0;: il n&apos;y a pas de reconnaissance.</translation>
    </message>
    <message>
        <source>Acknowledgement, ready to paste:</source>
        <translation>Reconnaissance, prête à coller&#xa0;:</translation>
    </message>
    <message>
        <source>Sent to the terminal&apos;s clipboard (OSC 52); not every terminal accepts it.</source>
        <translation>Envoyée au presse-papiers du terminal (OSC 52); certains terminaux ne l&apos;acceptent pas.</translation>
    </message>
    <message>
        <source>Try Again: type r and press Enter.</source>
        <translation>Réessayer&#xa0;: tapez r puis appuyez sur Entrée.</translation>
    </message>
    <message>
        <source>Keys: set TIDEMARK_TERRITORY_KEY and TIDEMARK_IPINFO_TOKEN, or start Tidemark with --territory-key-file FILE and --ipinfo-token-file FILE.</source>
        <translation>Clés&#xa0;: définissez TIDEMARK_TERRITORY_KEY et TIDEMARK_IPINFO_TOKEN, ou démarrez Tidemark avec --territory-key-file FICHIER et --ipinfo-token-file FICHIER.</translation>
    </message>
    <message>
        <source>Last: %1, %2 (type c to copy it)</source>
        <translation>Dernière&#xa0;: %1, %2 (tapez c pour la copier)</translation>
    </message>
    <message>
        <source>Save Error Log: type s and a file name, then press Enter.</source>
        <translation>Enregistrer le journal d&apos;erreurs&#xa0;: tapez s et un nom de fichier, puis appuyez sur Entrée.</translation>
    </message>
    <message>
        <source>Copy the acknowledgement: type c.</source>
        <translation>Copier la reconnaissance&#xa0;: tapez c.</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Rechercher des mises à jour</translation>
    </message>
    <message>
        <source>&lt;br&gt;&lt;a href=&quot;%1&quot;&gt;Download Tidemark %2&lt;/a&gt;</source>
        <translation>&lt;br&gt;&lt;a href=&quot;%1&quot;&gt;Télécharger Tidemark %2&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Fichier</translation>
    </message>
    <message>
        <source>&amp;Save Log…</source>
        <translation>&amp;Enregistrer le journal…</translation>
    </message>
    <message>
        <source>&amp;Recent Acknowledgements…</source>
        <translation>&amp;Reconnaissances récentes…</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>É&amp;dition</translation>
    </message>
    <message>
        <source>&amp;Copy Acknowledgement</source>
        <translation>&amp;Copier la reconnaissance</translation>
    </message>
    <message>
        <source>&amp;Try Again</source>
        <translation>&amp;Réessayer</translation>
    </message>
    <message>
        <source>Setti&amp;ngs…</source>
        <translation>&amp;Paramètres…</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <source>&amp;Learn More About Territory Acknowledgements</source>
        <translation>&amp;En savoir plus sur les reconnaissances territoriales</translation>
    </message>
    <message>
        <source>Check for &amp;Updates…</source>
        <translation>Rechercher des &amp;mises à jour…</translation>
    </message>
    <message>
        <source>&amp;Contact the Developer</source>
        <translation>&amp;Contacter le développeur</translation>
    </message>
    <message>
        <source>&amp;About Tidemark</source>
        <translation>À &amp;propos de Tidemark</translation>
    </message>
    <message>
        <source>Hide Tidemark</source>
        <translation>Masquer Tidemark</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Show Tidemark</source>
        <translation>Afficher Tidemark</translation>
    </message>
    <message>
        <source>Tidemark: waiting for a meeting&apos;s media stream</source>
        <translation>Tidemark&#xa0;: en attente du flux média d&apos;une réunion</translation>
    </message>
    <message>
        <source>Tidemark: looking up the media server</source>
        <translation>Tidemark&#xa0;: recherche du serveur média</translation>
    </message>
    <message>
        <source>Tidemark: something went wrong (open the window)</source>
        <translation>Tidemark&#xa0;: un problème est survenu (ouvrez la fenêtre)</translation>
    </message>
    <message>
        <source>Tidemark: the server stands on the land of</source>
        <translation>Tidemark&#xa0;: le serveur se trouve sur la terre des peuples</translation>
    </message>
    <message>
        <source>Could not copy: the clipboard did not take the text.</source>
        <translation>Copie impossible&#xa0;: le presse-papiers n&apos;a pas accepté le texte.</translation>
    </message>
    <message>
        <source>Copied the acknowledgement: paste it in the meeting&apos;s chat.</source>
        <translation>Reconnaissance copiée&#xa0;: collez-la dans la discussion de la réunion.</translation>
    </message>
    <message>
        <source>About Tidemark</source>
        <translation>À propos de Tidemark</translation>
    </message>
    <message>
        <source>Recent Acknowledgements</source>
        <translation>Reconnaissances récentes</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message>
        <source>Copy the acknowledgement of %1</source>
        <translation>Copier la reconnaissance de %1</translation>
    </message>
    <message>
        <source>Saved the log to %1.</source>
        <translation>Journal enregistré dans %1.</translation>
    </message>
    <message>
        <source>Copy acknowledgement</source>
        <translation>Copier la reconnaissance</translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation>Réessayer</translation>
    </message>
    <message>
        <source>Save Error Log</source>
        <translation>Enregistrer le journal d&apos;erreurs</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Paramètres…</translation>
    </message>
    <message>
        <source>Learn more about territory acknowledgements</source>
        <translation>En savoir plus sur les reconnaissances territoriales</translation>
    </message>
    <message>
        <source>Last: %1, %2 —</source>
        <translation>Dernière&#xa0;: %1, %2 —</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Afficher</translation>
    </message>
    <message>
        <source>Tidemark Settings</source>
        <translation>Paramètres de Tidemark</translation>
    </message>
    <message>
        <source>Territory service API &amp;key:</source>
        <translation>Clé d&apos;API du service des territoi&amp;res&#xa0;:</translation>
    </message>
    <message>
        <source>Get a free key from the territory service&apos;s site (an account is needed)</source>
        <translation>Obtenir une clé gratuite sur le site du service des territoires (un compte est nécessaire)</translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation>&amp;Tester</translation>
    </message>
    <message>
        <source>T&amp;est</source>
        <translation>Te&amp;ster</translation>
    </message>
    <message>
        <source>Set by %1 or a key file when Tidemark was started.</source>
        <translation>Défini par %1 ou par un fichier de clé au démarrage de Tidemark.</translation>
    </message>
    <message>
        <source>Meeting services to watch</source>
        <translation>Services de réunion à surveiller</translation>
    </message>
    <message>
        <source>%1 (UDP %2)</source>
        <translation>%1 (UDP %2)</translation>
    </message>
    <message>
        <source>Finding where keys are kept…</source>
        <translation>Recherche de l&apos;endroit où les clés sont conservées…</translation>
    </message>
    <message>
        <source>Saved answers cleared.</source>
        <translation>Réponses enregistrées effacées.</translation>
    </message>
    <message>
        <source>No saved answers could be cleared.</source>
        <translation>Aucune réponse enregistrée n&apos;a pu être effacée.</translation>
    </message>
    <message>
        <source>Keys are kept in the desktop&apos;s secret store.</source>
        <translation>Les clés sont conservées dans le trousseau de secrets du bureau.</translation>
    </message>
    <message>
        <source>No secret store is running: keys are kept in %1, which only you can read.</source>
        <translation>Aucun trousseau de secrets n&apos;est actif&#xa0;: les clés sont conservées dans %1, que vous seul pouvez lire.</translation>
    </message>
    <message>
        <source>The service refused this key.</source>
        <translation>Le service a refusé cette clé.</translation>
    </message>
    <message>
        <source>The service&apos;s request limit is reached; test again later.</source>
        <translation>La limite de requêtes du service est atteinte; testez de nouveau plus tard.</translation>
    </message>
    <message>
        <source>The key works.</source>
        <translation>La clé fonctionne.</translation>
    </message>
    <message>
        <source>The service answered, but not with valid data.</source>
        <translation>Le service a répondu, mais sans données valides.</translation>
    </message>
    <message>
        <source>Could not test the key: %1.</source>
        <translation>Impossible de tester la clé&#xa0;: %1.</translation>
    </message>
    <message>
        <source>Enter a key first.</source>
        <translation>Saisissez d&apos;abord une clé.</translation>
    </message>
    <message>
        <source>Testing…</source>
        <translation>Test en cours…</translation>
    </message>
    <message numerus="yes">
        <source>and %n more</source>
        <comment>peoples not listed</comment>
        <translation>
            <numerusform>et %n autre</numerusform>
            <numerusform>et %n autres</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n saved answers</source>
        <comment>answers kept from earlier lookups</comment>
        <translation>
            <numerusform>%n réponse enregistrée</numerusform>
            <numerusform>%n réponses enregistrées</numerusform>
        </translation>
    </message>
    <message>
        <source>Shows on whose traditional territory the media server of your video meeting stands.</source>
        <translation>Indique sur le territoire traditionnel de quels peuples se trouve le serveur média de votre vidéoconférence.</translation>
    </message>
    <message>
        <source>Show the status as text instead of in a window (the default without a display).</source>
        <translation>Afficher l&apos;état sous forme de texte plutôt que dans une fenêtre (par défaut sans affichage graphique).</translation>
    </message>
    <message>
        <source>Capture on this network interface only (default: all interfaces, &quot;any&quot;).</source>
        <translation>Capturer sur cette interface réseau seulement (par défaut&#xa0;: toutes les interfaces, «&#xa0;any&#xa0;»).</translation>
    </message>
    <message>
        <source>Show this help.</source>
        <translation>Afficher cette aide.</translation>
    </message>
    <message>
        <source>Show the version.</source>
        <translation>Afficher la version.</translation>
    </message>
    <message>
        <source>Read the territory service&apos;s API key from this file (its first line); or set TIDEMARK_TERRITORY_KEY. Never give a key itself on the command line.</source>
        <translation>Lire la clé d&apos;API du service des territoires dans ce fichier (sa première ligne); ou définir TIDEMARK_TERRITORY_KEY. Ne donnez jamais une clé elle-même sur la ligne de commande.</translation>
    </message>
    <message>
        <source>Read the IP-information service&apos;s token from this file (its first line); or set TIDEMARK_IPINFO_TOKEN.</source>
        <translation>Lire le jeton du service d&apos;information IP dans ce fichier (sa première ligne); ou définir TIDEMARK_IPINFO_TOKEN.</translation>
    </message>
    <message>
        <source>Watch these meeting services only, separated by commas (zoom, teams, meet, webex, jitsi; default: as chosen in Settings, else all).</source>
        <translation>Surveiller seulement ces services de réunion, séparés par des virgules (zoom, teams, meet, webex, jitsi; par défaut&#xa0;: ceux choisis dans les Paramètres, sinon tous).</translation>
    </message>
    <message>
        <source>Write the packet library&apos;s diagnostics to standard error (without it, only its errors).</source>
        <translation>Écrire les diagnostics de la bibliothèque de paquets sur la sortie d&apos;erreur standard (sans cette option, seulement ses erreurs).</translation>
    </message>
    <message>
        <source>there is no network interface named %1; there are: %2</source>
        <translation>il n&apos;y a pas d&apos;interface réseau nommée %1; il y a&#xa0;: %2</translation>
    </message>
    <message>
        <source>cannot read a key from %1</source>
        <translation>impossible de lire une clé dans %1</translation>
    </message>
    <message>
        <source>running the window as root; as yourself it captures through its helper.</source>
        <translation>la fenêtre tourne en tant que root; lancée sous votre propre compte, elle capture par son assistant.</translation>
    </message>
    <message>
        <source>cannot open the display %1; showing the status in this terminal instead.</source>
        <translation>impossible d&apos;ouvrir l&apos;affichage %1; l&apos;état s&apos;affiche plutôt dans ce terminal.</translation>
    </message>
    <message>
        <source>NAME</source>
        <translation>NOM</translation>
    </message>
    <message>
        <source>FILE</source>
        <translation>FICHIER</translation>
    </message>
    <message>
        <source>LIST</source>
        <translation>LISTE</translation>
    </message>
    <message>
        <source>Status: %1</source>
        <translation>État&#xa0;: %1</translation>
    </message>
    <message>
        <source>Opens %1 in the web browser</source>
        <translation>Ouvre %1 dans le navigateur Web</translation>
    </message>
    <message>
        <source>Copies the acknowledgement, to paste in the meeting&apos;s chat</source>
        <translation>Copie la reconnaissance, à coller dans la discussion de la réunion</translation>
    </message>
    <message>
        <source>Captures and looks up again</source>
        <translation>Capture et recherche de nouveau</translation>
    </message>
    <message>
        <source>Saves the log to a file you choose</source>
        <translation>Enregistre le journal dans le fichier de votre choix</translation>
    </message>
    <message>
        <source>Opens the settings, where the services&apos; keys are entered</source>
        <translation>Ouvre les paramètres, où se saisissent les clés des services</translation>
    </message>
    <message>
        <source>Copies the last acknowledgement</source>
        <translation>Copie la dernière reconnaissance</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>En attente</translation>
    </message>
    <message>
        <source>Looking up</source>
        <translation>Recherche</translation>
    </message>
    <message>
        <source>Found</source>
        <translation>Trouvé</translation>
    </message>
    <message>
        <source>Problem</source>
        <translation>Problème</translation>
    </message>
    <message>
        <source>Show %1</source>
        <translation>Afficher&#xa0;: %1</translation>
    </message>
    <message>
        <source>This %1 meeting&apos;s media goes directly between the participants&apos; computers (peer to peer), so no server of %1 carries it and there is no server&apos;s land to name. Tidemark never looks up another participant&apos;s address.</source>
        <translation>Le flux média de cette réunion %1 passe directement entre les ordinateurs des participants (pair à pair), donc aucun serveur de %1 ne le transporte et il n&apos;y a pas de terre de serveur à nommer. Tidemark ne recherche jamais l&apos;adresse d&apos;un autre participant.</translation>
    </message>
    <message>
        <source>%1 to your computer is coming from %2, an address on a private network. Tidemark does not look up such addresses, so it cannot say whose land that server stands on.</source>
        <translation>%1 vers votre ordinateur provient de %2, une adresse d&apos;un réseau privé. Tidemark ne recherche pas de telles adresses; il ne peut donc pas dire sur quelle terre se trouve ce serveur.</translation>
    </message>
    <message>
        <source>Tidemark: no server to look up</source>
        <translation>Tidemark&#xa0;: aucun serveur à rechercher</translation>
    </message>
    <message>
        <source>No server</source>
        <translation>Aucun serveur</translation>
    </message>
    <message>
        <source>the disk is full</source>
        <translation>le disque est plein</translation>
    </message>
    <message>
        <source>its folder cannot be written</source>
        <translation>son dossier n&apos;est pas accessible en écriture</translation>
    </message>
    <message>
        <source>another program holds the file</source>
        <translation>un autre programme tient le fichier</translation>
    </message>
    <message>
        <source>the file cannot be used</source>
        <translation>le fichier est inutilisable</translation>
    </message>
    <message>
        <source>Tidemark cannot save answers now (%1): it shows what was saved before and saves nothing new.</source>
        <translation>Tidemark ne peut pas enregistrer de réponses pour l&apos;instant (%1)&#xa0;: il montre ce qui a été enregistré auparavant et n&apos;enregistre rien de nouveau.</translation>
    </message>
    <message>
        <source>Tidemark cannot open its saved answers (%1): it works without them and saves nothing.</source>
        <translation>Tidemark ne peut pas ouvrir ses réponses enregistrées (%1)&#xa0;: il fonctionne sans elles et n&apos;enregistre rien.</translation>
    </message>
    <message>
        <source>The saved answers could not be used, so Tidemark started anew; the old file is kept as %1.</source>
        <translation>Les réponses enregistrées étaient inutilisables, Tidemark est donc reparti de zéro; l&apos;ancien fichier est conservé sous le nom %1.</translation>
    </message>
    <message>
        <source>the IP-information service gave a position that is not a latitude and longitude on Earth (%1)</source>
        <translation>le service d&apos;information IP a donné une position qui n&apos;est pas une latitude et une longitude sur la Terre (%1)</translation>
    </message>
    <message>
        <source>the key file %1 can be read by other users; make it yours alone (chmod 600 %1)</source>
        <translation>le fichier de clé %1 peut être lu par d&apos;autres utilisateurs; rendez-le lisible par vous seul (chmod 600 %1)</translation>
    </message>
    <message>
        <source>Usage:</source>
        <translation>Utilisation&#xa0;:</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Options&#xa0;:</translation>
    </message>
    <message>
        <source>[options]</source>
        <translation>[options]</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>option inconnue&#xa0;: %1</translation>
    </message>
    <message>
        <source>the option %1 needs a value</source>
        <translation>l&apos;option %1 demande une valeur</translation>
    </message>
    <message>
        <source>unexpected argument %1</source>
        <translation>argument inattendu&#xa0;: %1</translation>
    </message>
    <message>
        <source>--services: &quot;%1&quot; is no service Tidemark knows; it takes some of: %2</source>
        <translation>--services&#xa0;: «&#xa0;%1&#xa0;» n&apos;est pas un service que Tidemark connaît; il accepte certains de ceux-ci&#xa0;: %2</translation>
    </message>
    <message>
        <source>Type OK to continue, anything else to cancel:</source>
        <translation>Tapez OK pour continuer, ou autre chose pour annuler&#xa0;:</translation>
    </message>
    <message>
        <source>yes</source>
        <comment>the answer that grants, typed in the terminal</comment>
        <translation>oui</translation>
    </message>
    <message>
        <source>Copy the &amp;Sentence Alone</source>
        <translation>Copier la phrase s&amp;eule</translation>
    </message>
    <message numerus="yes">
        <source>Trying again in %n s.</source>
        <comment>a countdown</comment>
        <translation>
            <numerusform>Nouvel essai dans %n s.</numerusform>
            <numerusform>Nouvel essai dans %n s.</numerusform>
        </translation>
    </message>
    <message>
        <source>Copied: paste it in the meeting&apos;s chat.</source>
        <translation>Copié&#xa0;: collez-le dans la discussion de la réunion.</translation>
    </message>
    <message>
        <source>Copy Name and Link</source>
        <translation>Copier le nom et le lien</translation>
    </message>
    <message>
        <source>Copy Link Location</source>
        <translation>Copier l&apos;adresse du lien</translation>
    </message>
    <message>
        <source>Your place: %1</source>
        <translation>Votre lieu&#xa0;: %1</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>Delete the acknowledgement of %1</source>
        <translation>Supprimer la reconnaissance de %1</translation>
    </message>
    <message>
        <source>To say on whose land a meeting&apos;s server stands, Tidemark asks a territory service, which needs a free API key. Enter yours here and press Test; you can also do it later.</source>
        <translation>Pour dire sur quelle terre se trouve le serveur d&apos;une réunion, Tidemark interroge un service des territoires, qui demande une clé d&apos;API gratuite. Entrez la vôtre ici et appuyez sur Tester; vous pouvez aussi le faire plus tard.</translation>
    </message>
    <message>
        <source>IP-information t&amp;oken:</source>
        <translation>&amp;Jeton du service d&apos;information IP&#xa0;:</translation>
    </message>
    <message>
        <source>Get a token of your own from the IP-information service&apos;s site (optional: without one, Tidemark uses its own, shared by every user)</source>
        <translation>Obtenir votre propre jeton sur le site du service d&apos;information IP (facultatif&#xa0;: sans jeton, Tidemark utilise le sien, partagé par tous les utilisateurs)</translation>
    </message>
    <message>
        <source>Starting</source>
        <translation>Démarrage</translation>
    </message>
    <message>
        <source>Start Tidemark when you log &amp;in</source>
        <translation>&amp;Démarrer Tidemark à l&apos;ouverture de session</translation>
    </message>
    <message>
        <source>Start &amp;hidden in the tray</source>
        <translation>Démarrer masqué dans la zone de &amp;notification</translation>
    </message>
    <message>
        <source>C&amp;lear Saved Answers</source>
        <translation>Effa&amp;cer les réponses enregistrées</translation>
    </message>
    <message>
        <source>The service answers with Tidemark&apos;s own token, shared by every user.</source>
        <translation>Le service répond avec le jeton de Tidemark, partagé par tous les utilisateurs.</translation>
    </message>
    <message>
        <source>Please save your error log to send to the developer</source>
        <translation>Veuillez enregistrer votre journal d&apos;erreurs pour l&apos;envoyer au développeur</translation>
    </message>
    <message>
        <source>Tidemark Error Log.txt</source>
        <translation>Journal d&apos;erreurs de Tidemark.txt</translation>
    </message>
    <message>
        <source>Sorry, unable to save log file. %1</source>
        <translation>Désolé, impossible d&apos;enregistrer le journal. %1</translation>
    </message>
    <message>
        <source>the service gave no position for this computer&apos;s address</source>
        <translation>le service n&apos;a donné aucune position pour l&apos;adresse de cet ordinateur</translation>
    </message>
    <message>
        <source>You are joining from the traditional territory of the following peoples:</source>
        <translation>Vous participez depuis le territoire traditionnel des peuples suivants :</translation>
    </message>
    <message>
        <source>You are joining from a place that is not known to be the traditional territory of any people. To learn more, please click here:</source>
        <translation>Vous participez depuis un lieu dont on ne sait pas qu&apos;il soit le territoire traditionnel d&apos;un peuple. Pour en savoir plus, cliquez ici :</translation>
    </message>
    <message>
        <source>Your place&apos;s land could not be looked up: %1.</source>
        <translation>La terre de votre lieu n&apos;a pas pu être recherchée : %1.</translation>
    </message>
    <message>
        <source>The place you join meetings from, as latitude and longitude (45.5,-73.6), for this run: its traditional territory is named too; &quot;none&quot; names none (default: as chosen in Settings, else none).</source>
        <translation>Le lieu depuis lequel vous participez aux réunions, en latitude et longitude (45.5,-73.6), pour cette exécution : son territoire traditionnel est nommé aussi ; « none » n&apos;en nomme aucun (par défaut : le choix des Paramètres, sinon aucun).</translation>
    </message>
    <message>
        <source>LAT,LON</source>
        <translation>LAT,LON</translation>
    </message>
    <message>
        <source>--place: &quot;%1&quot; is no latitude and longitude on Earth (such as 45.5,-73.6), nor &quot;none&quot;</source>
        <translation>--place : « %1 » n&apos;est ni une latitude et une longitude sur Terre (comme 45.5,-73.6), ni « none »</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Tidemark %1&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Shows on whose traditional territory the media server of your video meeting stands.&lt;/p&gt;&lt;p&gt;Licence: MIT.&lt;/p&gt;&lt;p&gt;Web services used:&lt;br&gt;&amp;bull; %2 (where a server stands) receives the media server&apos;s address.&lt;br&gt;&amp;bull; %3 (whose land a place is on) receives the server&apos;s position.&lt;br&gt;&amp;bull; %6&lt;br&gt;Another participant&apos;s address (in a peer-to-peer call) and addresses on private networks are never sent anywhere.&lt;/p&gt;&lt;p&gt;What is captured: UDP datagrams from the meeting services&apos; media ports (%4), and others that look like a meeting&apos;s media or connectivity checks. The capture helper reads their headers and first bytes and passes on only the other side&apos;s address and port, what kind of datagram it is and how many came; nothing of their content leaves it, and nothing is kept.&lt;/p&gt;&lt;p&gt;Services are recognised by the address ranges they publish for their media servers (lists of %5) and by their ports.&lt;/p&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;Tidemark %1&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Indique sur le territoire traditionnel de quels peuples se trouve le serveur média de votre vidéoconférence.&lt;/p&gt;&lt;p&gt;Licence&#xa0;: MIT.&lt;/p&gt;&lt;p&gt;Services Web utilisés&#xa0;:&lt;br&gt;&amp;bull; %2 (où se trouve un serveur) reçoit l&apos;adresse du serveur média.&lt;br&gt;&amp;bull; %3 (sur quelle terre se trouve un lieu) reçoit la position du serveur.&lt;br&gt;&amp;bull; %6&lt;br&gt;L&apos;adresse d&apos;un autre participant (dans un appel pair à pair) et les adresses de réseaux privés ne sont jamais envoyées nulle part.&lt;/p&gt;&lt;p&gt;Ce qui est capturé&#xa0;: les datagrammes UDP provenant des ports média des services de réunion (%4), et les autres qui ressemblent au média d&apos;une réunion ou à ses vérifications de connectivité. L&apos;assistant de capture lit leurs en-têtes et leurs premiers octets et ne transmet que l&apos;adresse et le port de l&apos;autre côté, le genre de datagramme et leur nombre; rien de leur contenu n&apos;en sort, et rien n&apos;est conservé.&lt;/p&gt;&lt;p&gt;Les services sont reconnus par les plages d&apos;adresses qu&apos;ils publient pour leurs serveurs média (listes de %5) et par leurs ports.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Your own place: none is set, so nothing about where you are is sent.</source>
        <translation>Votre propre lieu : aucun n&apos;est défini, donc rien sur l&apos;endroit où vous êtes n&apos;est envoyé.</translation>
    </message>
    <message>
        <source>Your own place, %1: %2 receives its position while a meeting goes on.</source>
        <translation>Votre propre lieu, %1 : %2 reçoit sa position pendant une réunion.</translation>
    </message>
    <message>
        <source>Your place</source>
        <translation>Votre lieu</translation>
    </message>
    <message>
        <source>Tidemark can also name the traditional territory of the place you join meetings from. Nothing about your place is sent until you set one; then its position goes to the territory service while a meeting goes on.</source>
        <translation>Tidemark peut aussi nommer le territoire traditionnel du lieu depuis lequel vous participez aux réunions. Rien sur votre lieu n&apos;est envoyé tant que vous n&apos;en avez pas défini un ; sa position va ensuite au service des territoires pendant une réunion.</translation>
    </message>
    <message>
        <source>Pick a place looked up before…</source>
        <translation>Choisir un lieu déjà recherché…</translation>
    </message>
    <message>
        <source>&amp;From saved answers:</source>
        <translation>Parm&amp;i les réponses enregistrées :</translation>
    </message>
    <message>
        <source>Ask Where My Public &amp;Address Is</source>
        <translation>Demander où est mon adresse p&amp;ublique</translation>
    </message>
    <message>
        <source>&amp;No Place</source>
        <translation>Aucun &amp;lieu</translation>
    </message>
    <message>
        <source>Ask Where My Public Address Is sends one request to %1, which sees this computer&apos;s public address and answers with a position near it.</source>
        <translation>« Demander où est mon adresse publique » envoie une requête à %1, qui voit l&apos;adresse publique de cet ordinateur et répond par une position proche.</translation>
    </message>
    <message>
        <source>Asking…</source>
        <translation>Demande en cours…</translation>
    </message>
    <message>
        <source>No position: %1.</source>
        <translation>Aucune position : %1.</translation>
    </message>
    <message>
        <source>The service places this computer near %1; save to use it.</source>
        <translation>Le service situe cet ordinateur près de %1 ; enregistrez pour l&apos;utiliser.</translation>
    </message>
    <message>
        <source>Your place needs a latitude (-90 to 90) and a longitude (-180 to 180), such as 45.5, -73.6; or none.</source>
        <translation>Votre lieu demande une latitude (-90 à 90) et une longitude (-180 à 180), comme 45.5, -73.6 ; ou aucun.</translation>
    </message>
    <message>
        <source>You are joining from the land of</source>
        <translation>Vous participez depuis la terre de</translation>
    </message>
    <message>
        <source>Your &amp;position (latitude, longitude):</source>
        <translation>Votre &amp;position (latitude, longitude) :</translation>
    </message>
</context>
</TS>
